#include <conio.h>
#include <windows.h>

#include <cstdio>

#include "platform/key_press.h"

namespace platform {

int WaitForKeyPress() {
  const int code = _getch();
  // The runtime answers EOF (or its wide form) when there is no console.
  return code == EOF || code == 0xFFFF ? kEndOfInput : code;
}

void DiscardTypedKeys() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return;
  // The runtime keeps the second code of an arrow or function key for the
  // next _getch, and _kbhit reports it: take it, and any key already there,
  // then empty the console's queue.
  while (_kbhit()) _getch();
  FlushConsoleInputBuffer(input);
}

}  // namespace platform
