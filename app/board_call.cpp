#include "app/board_call.h"

#include "app/exit_status.h"
#include "platform/crash_guard.h"

std::string BoardCrashLine(const std::string& operation) {
  std::string line = "vantrel: the board library failed in " + operation;
  if (operation == "WriteFlash") line += ": the EEPROM may be partly written";
  return line + "\n";
}

void BeginBoardCall(const char* operation) {
  platform::EnterForeignCode(BoardCrashLine(operation), kExitFailed);
}

void EndBoardCall() { platform::LeaveForeignCode(); }
