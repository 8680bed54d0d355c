#include "app/board_call.h"

#include <iostream>

#include "app/exit_status.h"
#include "platform/crash_guard.h"

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

}  // namespace

void NoteFileSaved() {
  g_file_saved = true;
  if (!g_in_call && !g_last_operation.empty()) GuardBetweenCalls();
}

void NoteRunStatus(int status) {
  g_decided_status = status;
  if (!g_in_call && !g_last_operation.empty()) GuardBetweenCalls();
}

void EndBoardGuard() { platform::EndForeignCodeGuard(); }

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

void GuardBoardCodeToTheEnd(const char* operation) {
  std::cout.flush();
  platform::EnterForeignCode(CrashLine(In(operation)), std::string(), kExitFailed);
}
