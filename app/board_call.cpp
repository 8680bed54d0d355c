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

std::string WhatIsLeft(const std::string& operation) {
  if (operation == "WriteFlash") return ": the EEPROM may be partly written";
  if (g_file_saved) return ": the file was saved";
  return "";
}

std::string BoardCrashLine(const std::string& operation) {
  return "vantrel: the board library failed in " + operation + WhatIsLeft(operation) + "\n";
}

std::string BoardExitLine(const std::string& operation) {
  return "vantrel: the board library ended the process in " + operation + WhatIsLeft(operation) + "\n";
}

// Between calls the library's own threads may still crash or end the
// process: that is told with the operation called last.
void GuardBetweenCalls() {
  const std::string after = "after " + g_last_operation + (g_file_saved ? ": the file was saved" : "") + "\n";
  platform::LeaveForeignCode("vantrel: the board library failed " + after,
                             "vantrel: the board library ended the process " + after, g_decided_status);
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
  platform::EnterForeignCode(BoardCrashLine(operation), BoardExitLine(operation), kExitFailed);
}

void EndBoardCall() {
  g_in_call = false;
  GuardBetweenCalls();
}

void GuardBoardCodeToTheEnd(const char* operation) {
  std::cout.flush();
  platform::EnterForeignCode(BoardCrashLine(operation), std::string(), kExitFailed);
}
