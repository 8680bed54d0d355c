// The console's keyboard, read record by record (inside platform/ only).
#ifndef VANTREL_PLATFORM_CONSOLE_KEYBOARD_WIN32_H
#define VANTREL_PLATFORM_CONSOLE_KEYBOARD_WIN32_H

#include <windows.h>

#include "platform/console_keys.h"

namespace platform {

// What ConsoleKeyboard::Next gives when no key came in time.
constexpr int kKeyTimedOut = -2;

// The console's input (CONIN$, whatever standard input is), switched for
// this object's life to raw input: no line editing, no echo, no processed
// input (Ctrl+C comes as a key record, not as a signal) and no terminal
// sequences (an arrow comes as the arrow's record, not as ESC [ A).
class ConsoleKeyboard {
 public:
  ConsoleKeyboard();
  ~ConsoleKeyboard();
  ConsoleKeyboard(const ConsoleKeyboard&) = delete;
  ConsoleKeyboard& operator=(const ConsoleKeyboard&) = delete;

  // False where the process has no console: no key can come.
  bool open() const { return input_ != INVALID_HANDLE_VALUE; }

  // The next key: a code kept from an arrow first, else the first record
  // that is a key, judged by ConsoleKeys; records that are no key are taken
  // off on the way. kKeyTimedOut once `timeout_ms` passed (INFINITE: none),
  // kEndOfInput when the console cannot be read. Waiting on the console is
  // what makes Wine's console take keys from its terminal.
  ConsoleKey Next(DWORD timeout_ms);

 private:
  HANDLE input_ = INVALID_HANDLE_VALUE;
  DWORD saved_mode_ = 0;
};

// The console's input (CONIN$) with its mode in `mode`, or
// INVALID_HANDLE_VALUE where the process has no console.
HANDLE OpenConsoleInput(DWORD& mode);

// The process's keyboard state, shared by every key wait: the keys down and
// a code kept for the next wait.
ConsoleKeys& ConsoleKeyState();

}  // namespace platform

#endif
