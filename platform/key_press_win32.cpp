// The plain key wait on the Windows console: one key record read and judged
// (platform/console_keys.h).
#include "platform/console_keyboard_win32.h"
#include "platform/key_press.h"

namespace platform {

int WaitForKeyPress() {
  ConsoleKeyboard keyboard;
  return keyboard.Next(INFINITE).code;
}

}  // namespace platform
