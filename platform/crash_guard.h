// A last word when foreign code (the board maker's library) crashes.
#ifndef VANTREL_PLATFORM_CRASH_GUARD_H
#define VANTREL_PLATFORM_CRASH_GUARD_H

#include <string>

namespace platform {

// From here until LeaveForeignCode, a crash ends the program with `line`
// (one line, newline included) on standard error and exit status `status`,
// after standard input is put back as the program found it; no cleanup of
// the program's own runs, and no key is waited for. A crash is a fault
// (POSIX: SIGSEGV, SIGBUS, SIGILL, SIGFPE; Windows: any exception nobody
// handles, an access violation or another library's C++ exception code) or
// an abort (SIGABRT: a C++ exception nobody catches ends in one, through
// std::terminate). Outside these calls the handlers the program had before
// (a sanitizer's, the runtime's) stay in charge. Calls do not nest.
//
// The foreign code may also end the process itself through exit(): then
// `exit_line` goes to standard error instead and the status is `status`
// all the same, whatever the code passed to exit(). The library's own exit
// handlers have run by then; the program's do not. An empty `exit_line`
// leaves exit() alone: for foreign code that runs as the process ends
// normally (a library's finalisers), when no LeaveForeignCode follows.
void EnterForeignCode(const std::string& line, const std::string& exit_line, int status);
void LeaveForeignCode();

}  // namespace platform

#endif
