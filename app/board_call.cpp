#include "app/board_call.h"

#include <iostream>

#include "app/exit_status.h"
#include "platform/crash_guard.h"

namespace {

// Set once a save has put the file in place.
bool g_file_saved = false;

std::string WhatIsLeft(const std::string& operation) {
  if (operation == "WriteFlash") return ": the EEPROM may be partly written";
  if (g_file_saved) return ": the file was saved";
  return "";
}

}  // namespace

std::string BoardCrashLine(const std::string& operation) {
  return "vantrel: the board library failed in " + operation + WhatIsLeft(operation) + "\n";
}

std::string BoardExitLine(const std::string& operation) {
  return "vantrel: the board library ended the process in " + operation + WhatIsLeft(operation) + "\n";
}

void NoteFileSaved() { g_file_saved = true; }

// Standard output is written in few writes, not a line at a time: it is
// flushed before every board call, every key wait and every line on standard
// error. What the operator was shown is then out before the library can
// crash or end the process, and in its order with the error line.
void BeginBoardCall(const char* operation) {
  std::cout.flush();
  platform::EnterForeignCode(BoardCrashLine(operation), BoardExitLine(operation), kExitFailed);
}

void EndBoardCall() { platform::LeaveForeignCode(); }

void GuardBoardCodeToTheEnd(const char* operation) {
  std::cout.flush();
  platform::EnterForeignCode(BoardCrashLine(operation), std::string(), kExitFailed);
}
