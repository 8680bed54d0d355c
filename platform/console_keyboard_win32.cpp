#include "platform/console_keyboard_win32.h"

#include "platform/key_press.h"

namespace platform {
namespace {

// Not every MinGW has it.
constexpr DWORD kVirtualTerminalInput = 0x0200;  // ENABLE_VIRTUAL_TERMINAL_INPUT

static_assert(kLeftAltPressed == LEFT_ALT_PRESSED && kRightAltPressed == RIGHT_ALT_PRESSED &&
                  kLeftCtrlPressed == LEFT_CTRL_PRESSED && kRightCtrlPressed == RIGHT_CTRL_PRESSED,
              "the console's control key bits");

ConsoleKeyRecord RecordOf(const INPUT_RECORD& record) {
  ConsoleKeyRecord key;
  key.key_event = record.EventType == KEY_EVENT;
  if (!key.key_event) return key;
  const KEY_EVENT_RECORD& event = record.Event.KeyEvent;
  key.down = event.bKeyDown != FALSE;
  key.virtual_key = event.wVirtualKeyCode;
  key.scan_code = event.wVirtualScanCode;
  key.character = static_cast<char16_t>(event.uChar.UnicodeChar);
  key.control_state = event.dwControlKeyState;
  return key;
}

}  // namespace

ConsoleKeys& ConsoleKeyState() {
  static ConsoleKeys keys;
  return keys;
}

HANDLE OpenConsoleInput(DWORD& mode) {
  const HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE || GetConsoleMode(input, &mode)) return input;
  CloseHandle(input);
  return INVALID_HANDLE_VALUE;
}

ConsoleKeyboard::ConsoleKeyboard() {
  input_ = OpenConsoleInput(saved_mode_);
  if (!open()) return;
  SetConsoleMode(input_, saved_mode_ & ~(ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                         kVirtualTerminalInput));
}

ConsoleKeyboard::~ConsoleKeyboard() {
  if (!open()) return;
  SetConsoleMode(input_, saved_mode_);
  CloseHandle(input_);
}

ConsoleKey ConsoleKeyboard::Next(DWORD timeout_ms) {
  int kept = 0;
  if (ConsoleKeyState().TakePending(&kept)) return {kept, false};
  if (!open()) return {kEndOfInput, false};
  const ULONGLONG deadline = GetTickCount64() + (timeout_ms == INFINITE ? 0 : timeout_ms);
  for (;;) {
    DWORD left = INFINITE;
    if (timeout_ms != INFINITE) {
      const ULONGLONG now = GetTickCount64();
      left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
    const DWORD waited = WaitForSingleObject(input_, left);
    if (waited == WAIT_TIMEOUT) return {kKeyTimedOut, false};
    if (waited != WAIT_OBJECT_0) return {kEndOfInput, false};
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(input_, &count)) return {kEndOfInput, false};
    if (count == 0) {
      // Signalled with nothing to read (taken by another reader): wait again.
      Sleep(1);
      continue;
    }
    INPUT_RECORD record = {};
    if (!ReadConsoleInputW(input_, &record, 1, &count)) return {kEndOfInput, false};
    if (count == 0) continue;
    const ConsoleKey key = ConsoleKeyState().Take(RecordOf(record));
    if (key.code != kNoKey) return key;
  }
}

}  // namespace platform
