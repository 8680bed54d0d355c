// Calls into the board library. The library is foreign code: should it crash
// (a fault, an exception nobody catches) or end the process itself (exit),
// the operator still learns which operation it was, and, after WriteFlash,
// that the EEPROM may be half new, or after a save, that the file is good;
// the status is a failure's. Its load and unload count as calls too
// ("loading the library", "unloading the library"): they run its
// initialisers and finalisers.
#ifndef VANTREL_APP_BOARD_CALL_H
#define VANTREL_APP_BOARD_CALL_H

#include <string>

// From here on the lines of a crash or an exit say that the file was saved.
void NoteFileSaved();
// The run has come to `status` (its result line is out): a library thread
// that ends the process from here on leaves that status, not a failure's.
void NoteRunStatus(int status);
// Right before main returns: an exit() is the program's own again. Between
// calls until then, a crash on one of the library's own threads, or an exit
// from anywhere, ends the run with a line naming the operation called last
// ("... after OPERATION").
void EndBoardGuard();

void BeginBoardCall(const char* operation);
void EndBoardCall();
// The same guard for `operation`, from here to the end of the process, but
// for crashes only (the process is about to exit as it should).
void GuardBoardCodeToTheEnd(const char* operation);

// Makes the call from a frame of its own that, on 32-bit Windows, takes the
// stack pointer back from a saved copy on the way out (as a prologue that
// realigns the stack keeps one). A library built with __cdecl instead of
// __stdcall leaves its arguments on the stack; that would end this program
// just after the call returns, outside the guard.
#if defined(_WIN32) && !defined(_WIN64)
#define VANTREL_STACK_RESTORING __attribute__((noinline, force_align_arg_pointer))
#else
#define VANTREL_STACK_RESTORING __attribute__((noinline))
#endif
template <typename Call>
VANTREL_STACK_RESTORING auto CallRestoringStack(const Call& call) -> decltype(call()) {
  return call();
}

// Runs `call` (one call of the library's `operation`) under that guard and
// gives back its result.
template <typename Call>
auto CallBoard(const char* operation, Call call) -> decltype(call()) {
  BeginBoardCall(operation);
  const auto result = CallRestoringStack(call);
  EndBoardCall();
  return result;
}

#endif
