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
  // _getch reads the console itself, not standard input: with input from a
  // pipe or a file, keys pressed while the boards were listed still wait
  // in the console.
  const HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE) return;
  if (!GetConsoleMode(input, &mode)) {
    CloseHandle(input);
    return;
  }
  // The runtime keeps the second code of an arrow or function key for the
  // next _getch, and _kbhit reports it: take it, and any key already there,
  // then empty the console's queue. Reading the keys as well as flushing
  // matters on a console that hands input over only to a waiting read.
  const ULONGLONG until = GetTickCount64() + kSettleMs;
  do {
    while (_kbhit()) _getch();
    FlushConsoleInputBuffer(input);
    Sleep(10);
  } while (GetTickCount64() < until);
  while (_kbhit()) _getch();
  FlushConsoleInputBuffer(input);
  CloseHandle(input);
}

}  // namespace platform
