// A last word when foreign code (the board maker's library) crashes or ends
// the process.
#ifndef VANTREL_PLATFORM_CRASH_GUARD_H
#define VANTREL_PLATFORM_CRASH_GUARD_H

#include <string>

namespace platform {

// From here until LeaveForeignCode, a crash ends the program with `line`
// (one line, newline included) on standard error and exit status `status`,
// after standard input, the terminal of a key wait and a save's unfinished
// temporary file are put right; no cleanup of the program's own runs, and
// no key is waited for. A crash is a fault (POSIX: SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGTRAP, SIGSYS; Windows: any exception nobody handles, an access
// violation or another library's C++ exception code) or an abort (SIGABRT:
// a C++ exception nobody catches ends in one, through std::terminate).
// Calls do not nest.
//
// The foreign code may also end the process itself through exit() (or
// quick_exit): then `exit_line` goes to standard error instead and the
// status is `status` all the same, whatever the code passed. The library's
// own exit handlers have run by then; the program's do not. An empty
// `exit_line` leaves exit() alone: for foreign code that runs as the
// process ends normally (a library's finalisers), when no LeaveForeignCode
// follows.
void EnterForeignCode(const std::string& line, const std::string& exit_line, int status);

// Ends the call. The foreign code may still run on threads of its own: until
// the next call, a crash on any thread but the main thread ends the program
// with `line`, and an exit() from anywhere with `exit_line` (none when
// empty), both with `status`. A crash on the main thread outside a call
// goes to the handlers the program had before (a sanitizer's, the
// runtime's).
void LeaveForeignCode(const std::string& line, const std::string& exit_line, int status);

// Right before the program ends as it should: exit() is the program's own
// again, and the crash handlers go (unless a call is still open, as for a
// library whose finalisers run as the process ends).
void EndForeignCodeGuard();

}  // namespace platform

#endif
