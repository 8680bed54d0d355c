#include "app/board_call.h"

#include <iostream>

#include "app/run_ending.h"
#include "board/board_library.h"
#include "platform/crash_guard.h"
#include "platform/dynamic_library.h"

namespace {

// Set once a save has put the file in place.
bool g_file_saved = false;
// The board operation called last, and whether it is running now.
std::string g_last_operation;
bool g_in_call = false;
// The exit status the run has come to, once its result is out.
int g_decided_status = kExitFailed;

// The lines a crash or an exit leaves on standard error; `where` is "in
// OPERATION..." or "after OPERATION...".
std::string CrashLine(const std::string& where) {
  return "vantrel: the board library failed " + where + "\n";
}
std::string ExitLine(const std::string& where) {
  return "vantrel: the board library ended the process " + where + "\n";
}

// Inside a call, and what it may have left behind.
std::string In(const std::string& operation) {
  if (operation == "WriteFlash") return "in WriteFlash: the EEPROM may be partly written";
  return "in " + operation + (g_file_saved ? ": the file was saved" : "");
}

// Between calls the library's own threads may still crash or end the
// process: that is told with the operation called last.
void GuardBetweenCalls() {
  const std::string after = "after " + g_last_operation + (g_file_saved ? ": the file was saved" : "");
  platform::LeaveForeignCode(CrashLine(after), ExitLine(after), g_decided_status);
}

// Standard output is written in few writes, not a line at a time: it is
// flushed before every board call, every key wait and every line on standard
// error. What the operator was shown is then out before the library can
// crash or end the process, and in its order with the error line.
void BeginBoardCall(const char* operation) {
  std::cout.flush();
  g_last_operation = operation;
  g_in_call = true;
  platform::EnterForeignCode(CrashLine(In(operation)), ExitLine(In(operation)), kExitFailed);
}

void EndBoardCall() {
  g_in_call = false;
  GuardBetweenCalls();
}

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

// Runs `call` (one call of the library's `operation`) under the guard and
// gives back its result.
template <typename Call>
auto CallBoard(const char* operation, Call call) -> decltype(call()) {
  BeginBoardCall(operation);
  const auto result = CallRestoringStack(call);
  EndBoardCall();
  return result;
}

}  // namespace

IBoardFactory* GuardedLoadBoardLibrary(std::string* why) {
  return CallBoard("loading the library", [why] { return LoadBoardLibrary(why); });
}

IPLX9080* GuardedCreateInterface(IBoardFactory& factory) {
  return CallBoard("CreateInterface", [&factory] { return factory.CreateInterface(kInterfaceName, 0); });
}

std::int32_t GuardedInitDevice(std::int32_t board) {
  return CallBoard("InitDevice", [board] { return m_pci->InitDevice("", board); });
}

std::uint32_t GuardedQueryBoardId() {
  return static_cast<std::uint32_t>(
      CallBoard("QueryBoardId", [] { return m_pci->QueryBoardId(kBoardIdSelector); }));
}

std::int32_t GuardedReadFlash(EepromImage& image) {
  return CallBoard("ReadFlash", [&image] { return m_pci->ReadFlash(&image); });
}

std::int32_t GuardedWriteFlash(const EepromImage& image) {
  return CallBoard("WriteFlash", [&image] { return m_pci->WriteFlash(image); });
}

void GuardedUnloadBoardLibrary() {
  static const char kUnloading[] = "unloading the library";
  const void* const library_code = g_board_library.factory;
  CallBoard(kUnloading, [] {
    UnloadBoardLibrary();
    return 0;
  });
  // A library the system keeps loaded runs its finalisers as the process
  // ends: the guard stays to the end, for crashes only (the process is
  // about to exit as it should).
  if (library_code != nullptr && platform::IsInLoadedLibrary(library_code)) {
    std::cout.flush();
    platform::EnterForeignCode(CrashLine(In(kUnloading)), std::string(), kExitFailed);
  }
}

void NoteFileSaved() {
  g_file_saved = true;
  if (!g_in_call && !g_last_operation.empty()) GuardBetweenCalls();
}

void NoteRunStatus(int status) {
  g_decided_status = status;
  if (!g_in_call && !g_last_operation.empty()) GuardBetweenCalls();
}

void EndBoardGuard() { platform::EndForeignCodeGuard(); }
