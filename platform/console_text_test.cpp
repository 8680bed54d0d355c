#include "platform/console_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ConsoleSafeTest, ShowsEveryControlCharacterAsAQuestionMark) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"board 7 (rev. 2)", "board 7 (rev. 2)"},
      {"\x1b[6n\x1b[c", "?[6n?[c"},               // queries a terminal answers
      {std::string("a\0b\x07\x7f", 5), "a?b??"},  // C0 controls and DEL
      {"\x9b"
       "6n",
       "?6n"},  // a raw C1 CSI
      {"\xc2\x9b"
       "6n\xc2\x85",
       "?6n?"},  // C1 controls in UTF-8
      {"\xc2\xa0\xc3\xa9\xe7\x94\xbb\xf0\x9f\x94\x8c", "\xc2\xa0\xc3\xa9\xe7\x94\xbb\xf0\x9f\x94\x8c"},
      {"\xff\xfe-\xa0", "\xff\xfe-\xa0"},  // stray bytes that are no control
      {"\xe2\x82", "\xe2?"},               // a cut sequence: its 0x82 is a raw C1
      {"\xc0\x9b", "\xc0?"},               // overlong: no character
      {"\xed\xa0\x80", "\xed\xa0?"},       // a surrogate: no character
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::ConsoleSafe(c.text, true), c.shown) << testing::PrintToString(c.text);
  }
}

// A terminal that does not take UTF-8 reads each byte on its own.
TEST(ConsoleSafeTest, ShowsEveryC1ByteAsAQuestionMarkWhereTheConsoleIsNotUtf8) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"\xe2\x80\x9b"
       "6n",
       "\xe2??6n"},                                   // U+201B: its 0x9B is CSI there
      {"\xc2\x9b\xc3\xa9\xa0", "\xc2?\xc3\xa9\xa0"},  // 0xA0-0xFF stay
      {"\x1b[c\x9b", "?[c?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::ConsoleSafe(c.text, false), c.shown) << testing::PrintToString(c.text);
  }
}

}  // namespace
