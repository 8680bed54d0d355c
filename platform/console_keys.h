// The keys that a Windows console's input records stand for, judged without
// Windows, so that the judgement runs in the Linux tests too: which record
// is a key, which codes it gives (those _getch would give), which declines,
// and which is only the repeat of a key held down.
#ifndef VANTREL_PLATFORM_CONSOLE_KEYS_H
#define VANTREL_PLATFORM_CONSOLE_KEYS_H

#include <cstdint>
#include <set>

namespace platform {

// The parts of an input record (INPUT_RECORD with its KEY_EVENT_RECORD) that
// a key wait looks at, in Windows' own values.
struct ConsoleKeyRecord {
  bool key_event = false;  // false: a mouse, focus, menu or size event
  bool down = false;
  std::uint16_t virtual_key = 0;
  std::uint16_t scan_code = 0;
  char16_t character = 0;
  std::uint32_t control_state = 0;  // dwControlKeyState
};

// dwControlKeyState's bits for the keys held with a key.
constexpr std::uint32_t kRightAltPressed = 0x0001;
constexpr std::uint32_t kLeftAltPressed = 0x0002;
constexpr std::uint32_t kRightCtrlPressed = 0x0004;
constexpr std::uint32_t kLeftCtrlPressed = 0x0008;

// What a record gives a key wait that is not a key code: nothing (a key-up,
// a modifier alone, a key without a character that _getch skips); the wait
// goes on.
constexpr int kNoKey = -10;

struct ConsoleKey {
  int code;     // a key code as WaitForKeyPress gives it, or kNoKey
  bool repeat;  // a key-down of a key that went down before with no key-up since
};

// The keyboard as a run's key waits see it: which keys are down, and the
// second code of an arrow or function key, which the next wait gives.
class ConsoleKeys {
 public:
  // The key `record` stands for. ESC (with a character or, as Wine sends
  // a lone ESC, without), a key pressed with Alt (AltGr, which is Ctrl and
  // Alt, types characters and does not count) and a C1 control (U+0080 to
  // U+009F) give ESC; Ctrl+C and Ctrl+Break give Ctrl+C; an arrow or
  // function key gives 0xE0 (0x00 for F1 to F10) and keeps its scan code for
  // the next wait.
  ConsoleKey Take(const ConsoleKeyRecord& record);
  // The code kept from an arrow or function key, if any, taken off.
  bool TakePending(int* code);
  void ForgetPending() { pending_ = kNoKey; }

 private:
  int pending_ = kNoKey;
  std::set<std::uint16_t> down_;
};

}  // namespace platform

#endif
