#include "platform/console_keys.h"

#include "platform/key_press.h"

namespace platform {
namespace {

// Virtual key codes (winuser.h).
constexpr std::uint16_t kVkCancel = 0x03;  // Ctrl+Break
constexpr std::uint16_t kVkEscape = 0x1B;
constexpr std::uint16_t kVkPageUp = 0x21;
constexpr std::uint16_t kVkDown = 0x28;
constexpr std::uint16_t kVkInsert = 0x2D;
constexpr std::uint16_t kVkDelete = 0x2E;
constexpr std::uint16_t kVkF1 = 0x70;
constexpr std::uint16_t kVkF10 = 0x79;
constexpr std::uint16_t kVkF11 = 0x7A;
constexpr std::uint16_t kVkF12 = 0x7B;

constexpr std::uint32_t kAlt = kLeftAltPressed | kRightAltPressed;
constexpr std::uint32_t kCtrl = kLeftCtrlPressed | kRightCtrlPressed;

// The two codes of a key without a character that _getch reports (0 when
// it skips the key: a modifier alone, a media or Windows key, AltGr on a
// key that has no character with it).
int FirstCode(const ConsoleKeyRecord& key, int* second) {
  const std::uint16_t vk = key.virtual_key;
  if (vk >= kVkF1 && vk <= kVkF10) {
    *second = key.scan_code & 0xFF;
    return 0x00;
  }
  if (vk == kVkF11 || vk == kVkF12) {
    *second = vk == kVkF11 ? 0x85 : 0x86;
    return 0xE0;
  }
  if ((vk >= kVkPageUp && vk <= kVkDown) || vk == kVkInsert || vk == kVkDelete) {
    *second = key.scan_code & 0xFF;
    return 0xE0;
  }
  return kNoKey;
}

bool IsModifier(std::uint16_t vk) {
  switch (vk) {
    case 0x10:  // Shift
    case 0x11:  // Ctrl
    case 0x12:  // Alt
    case 0x14:  // Caps Lock
    case 0x5B:  // Windows keys
    case 0x5C:
    case 0x90:  // Num Lock
    case 0x91:  // Scroll Lock
    case 0xA0:  // left and right Shift, Ctrl, Alt
    case 0xA1:
    case 0xA2:
    case 0xA3:
    case 0xA4:
    case 0xA5:
      return true;
    default:
      return false;
  }
}

}  // namespace

ConsoleKey ConsoleKeys::Take(const ConsoleKeyRecord& record) {
  if (!record.key_event) return {kNoKey, false};
  if (!record.down) {
    down_.erase(record.virtual_key);
    return {kNoKey, false};
  }
  const bool repeat = !down_.insert(record.virtual_key).second;
  const std::uint32_t held = record.control_state;
  const char16_t c = record.character;
  if (record.virtual_key == kVkEscape) return {kEscapeKey, repeat};
  if (record.virtual_key == kVkCancel || c == 3) return {kInterruptKey, repeat};
  if (IsModifier(record.virtual_key)) return {kNoKey, false};
  if ((held & kAlt) != 0 && (held & kCtrl) == 0) return {kEscapeKey, repeat};
  if (c >= 0x80 && c <= 0x9F) return {kEscapeKey, repeat};
  if (c != 0) return {c <= 0xFF ? static_cast<int>(c) : '?', repeat};
  int second = kNoKey;
  const int first = FirstCode(record, &second);
  if (first == kNoKey) return {kNoKey, false};
  pending_ = second;
  return {first, repeat};
}

bool ConsoleKeys::TakePending(int* code) {
  if (pending_ == kNoKey) return false;
  *code = pending_;
  pending_ = kNoKey;
  return true;
}

}  // namespace platform
