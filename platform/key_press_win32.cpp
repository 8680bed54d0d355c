#include <conio.h>
#include <windows.h>

#include <cstdio>

#include "platform/key_press.h"

namespace platform {

namespace {

bool IsModifierOnly(WORD key) {
  switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LWIN:
    case VK_RWIN:
      return true;
    default:
      return false;
  }
}

// Whether the next key on the console comes with Alt held (AltGr, which is
// Ctrl and Alt together, types characters and does not count) or is a C1
// control (U+0080 to U+009F: a terminal's 8-bit reply, not a key); such a
// key is taken off the console. Events that _getch would skip (a key
// released, Shift or Alt alone, the mouse, focus) are taken off on the way.
// False with the key left for _getch, and where there is no console.
bool TakeAltOrControlKey() {
  const HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return false;
  // Raw, as _getch reads: Ctrl+C is then a key (3) here too, not a signal.
  DWORD mode = 0;
  const bool console = GetConsoleMode(input, &mode) != FALSE;
  if (console)
    SetConsoleMode(input, mode & ~(ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
  bool taken = false;
  while (console) {
    INPUT_RECORD record = {};
    DWORD count = 0;
    if (WaitForSingleObject(input, INFINITE) != WAIT_OBJECT_0 ||
        !PeekConsoleInputW(input, &record, 1, &count))
      break;
    if (count == 0) continue;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    if (record.EventType != KEY_EVENT || !key.bKeyDown || IsModifierOnly(key.wVirtualKeyCode)) {
      ReadConsoleInputW(input, &record, 1, &count);
      continue;
    }
    const DWORD alt = key.dwControlKeyState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED);
    const DWORD ctrl = key.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED);
    const bool c1 = key.uChar.UnicodeChar >= 0x80 && key.uChar.UnicodeChar <= 0x9F;
    taken = (alt != 0 && ctrl == 0) || c1;
    if (taken) ReadConsoleInputW(input, &record, 1, &count);
    break;
  }
  if (console) SetConsoleMode(input, mode);
  CloseHandle(input);
  return taken;
}

}  // namespace

int WaitForKeyPress() {
  // The second code of an arrow or function key, kept by the runtime, is
  // part of a key already judged.
  if (!_kbhit() && TakeAltOrControlKey()) return kEscapeKey;
  const int code = _getch();
  // The runtime answers EOF (or its wide form) when there is no console.
  return code == EOF || code == 0xFFFF ? kEndOfInput : code;
}

}  // namespace platform
