// Calls into the board library. The library is foreign code: should it crash
// (a fault, an exception nobody catches), the operator still learns which
// operation it was and, after WriteFlash, that the EEPROM may be half new.
#ifndef VANTREL_APP_BOARD_CALL_H
#define VANTREL_APP_BOARD_CALL_H

#include <string>

// The line a crash in `operation` leaves on standard error.
std::string BoardCrashLine(const std::string& operation);

void BeginBoardCall(const char* operation);
void EndBoardCall();

// Runs `call` (one call of the library's `operation`) under that guard and
// gives back its result.
template <typename Call>
auto CallBoard(const char* operation, Call call) -> decltype(call()) {
  BeginBoardCall(operation);
  const auto result = call();
  EndBoardCall();
  return result;
}

#endif
