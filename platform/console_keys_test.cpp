#include "platform/console_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/consent_settle.h"
#include "platform/key_press.h"

namespace {

using platform::ConsoleKeyRecord;
using platform::kNoKey;

constexpr std::uint32_t kAlt = platform::kLeftAltPressed;
constexpr std::uint32_t kAltGr = platform::kRightAltPressed | platform::kLeftCtrlPressed;
constexpr std::uint32_t kCtrl = platform::kLeftCtrlPressed;
constexpr std::uint32_t kShift = 0x0010;

ConsoleKeyRecord Down(std::uint16_t vk, char16_t c, std::uint32_t held = 0, std::uint16_t scan = 0) {
  return {true, true, vk, scan, c, held};
}
ConsoleKeyRecord Up(std::uint16_t vk, char16_t c = 0) { return {true, false, vk, 0, c, 0}; }
const ConsoleKeyRecord kMouse = {};

// Every record of a run of key waits, in order, and what each one gives:
// a key code (a second code comes from the same record at the next wait),
// kNoKey, or a code marked as the repeat of a key held down.
struct Given {
  int code;
  bool repeat = false;
};

TEST(ConsoleKeysTest, EachRecordIsJudgedAsTheKeyItIs) {
  struct Case {
    std::string name;
    std::vector<ConsoleKeyRecord> records;
    std::vector<Given> given;  // what the waits get, pending codes included
  };
  const Case cases[] = {
      {"plain key, then its key-up", {Down('K', 'k'), Up('K', 'k')}, {{'k'}, {kNoKey}}},
      {"ESC with its character", {Down(0x1B, 0x1B)}, {{27}}},
      {"ESC without one, as Wine sends a lone ESC", {Down(0x1B, 0)}, {{27}}},
      {"Alt+key", {Down(0x12, 0, kAlt), Down('K', 'k', kAlt)}, {{kNoKey}, {27}}},
      {"Alt+Shift+key", {Down('K', 'K', kAlt | kShift)}, {{27}}},
      {"Alt+ESC, Wine's ESC ESC", {Down(0x12, 0, kAlt), Down(0x1B, 0x1B, kAlt)}, {{kNoKey}, {27}}},
      {"AltGr types a character", {Down('Q', '@', kAltGr)}, {{'@'}}},
      {"AltGr on a key without one", {Down('K', 0, kAltGr)}, {{kNoKey}}},
      {"a media key, then Alt+key", {Down(0xAF, 0), Down('K', 'k', kAlt)}, {{kNoKey}, {27}}},
      {"a mouse event, then a key", {kMouse, Down('K', 'k')}, {{kNoKey}, {'k'}}},
      {"Ctrl+C as a record", {Down('C', 3, kCtrl)}, {{3}}},
      {"Ctrl+Break", {Down(0x03, 0, kCtrl)}, {{3}}},
      {"C1 control", {Down(0, 0x9B)}, {{27}}},
      {"Shift alone", {Down(0x10, 0, kShift)}, {{kNoKey}}},
      {"a character beyond Latin-1", {Down(0, 0x20AC)}, {{'?'}}},
      {"Up: two codes", {Down(0x26, 0, 0, 0x48), Down('K', 'k')}, {{0xE0}, {0x48}, {'k'}}},
      {"F1: two codes", {Down(0x70, 0, 0, 0x3B)}, {{0x00}, {0x3B}}},
      {"F12: two codes", {Down(0x7B, 0, 0, 0x58)}, {{0xE0}, {0x86}}},
      {"Alt+Up", {Down(0x26, 0, kAlt, 0x48)}, {{27}}},
      {"a key held down",
       {Down(0x0D, '\r'), Down(0x0D, '\r'), Down(0x0D, '\r')},
       {{'\r'}, {'\r', true}, {'\r', true}}},
      {"released and pressed again",
       {Down(0x0D, '\r'), Up(0x0D), Down(0x0D, '\r')},
       {{'\r'}, {kNoKey}, {'\r'}}},
      {"ESC held still declines", {Down(0x1B, 0), Down(0x1B, 0)}, {{27}, {27, true}}},
  };
  for (const Case& c : cases) {
    platform::ConsoleKeys keys;
    std::vector<Given> given;
    for (const ConsoleKeyRecord& record : c.records) {
      const platform::ConsoleKey key = keys.Take(record);
      given.push_back({key.code, key.repeat});
      int kept = 0;
      if (keys.TakePending(&kept)) given.push_back({kept, false});
    }
    ASSERT_EQ(given.size(), c.given.size()) << c.name;
    for (std::size_t i = 0; i < given.size(); ++i) {
      EXPECT_EQ(given[i].code, c.given[i].code) << c.name << ", wait " << i;
      EXPECT_EQ(given[i].repeat, c.given[i].repeat) << c.name << ", wait " << i;
    }
  }
}

// A console reports key-ups: a key held from before whose repeats come
// after the settle never answers, however quiet the keyboard was.
TEST(ConsoleKeysTest, ARepeatAfterTheSettleIsNoAnswer) {
  using platform::KeyVerdict;
  const struct {
    std::string name;
    std::vector<platform::TimedKey> events;
    KeyVerdict verdict;
  } cases[] = {
      {"held from before, a repeat after the settle",
       {{-50, '\r'}, {1200, '\r', true}},
       KeyVerdict::kThrownAway},
      {"...then a fresh key a quiet second later",
       {{-50, '\r'}, {1200, '\r', true}, {2200, 'k'}},
       KeyVerdict::kConsent},
      {"...or one too early", {{-50, '\r'}, {1200, '\r', true}, {2100, 'k'}}, KeyVerdict::kThrownAway},
      {"ESC held from before declines", {{1200, 27, true}}, KeyVerdict::kDeclined},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::DecideTimeline(c.events).verdict, c.verdict) << c.name;
}

}  // namespace
