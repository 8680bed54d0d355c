#include <gtest/gtest.h>

#include <cstring>

#include "option/print_usage.h"

namespace option {
namespace {

using Impl = PrintUsageImplementation;

TEST(DisplayWidthTest, WideRangeBoundaries) {
  struct Case {
    std::uint32_t code_point;
    bool wide;
  };
  const Case cases[] = {
      {0x10FF, false}, {0x1100, true},   {0x115F, true},     {0x1160, false}, {0x2328, false},
      {0x2329, true},  {0x232A, true},   {0x232B, false},    {0x2E7F, false}, {0x2E80, true},
      {0x303E, true},  {0x303F, false},  {0x3040, true},     {0xA4C6, true},  {0xA4C7, false},
      {0xA95F, false}, {0xA960, true},   {0xA97C, true},     {0xA97D, false}, {0xABFF, false},
      {0xAC00, true},  {0xD7FB, true},   {0xD7FC, false},    {0xF8FF, false}, {0xF900, true},
      {0xFAFF, true},  {0xFB00, false},  {0xFE0F, false},    {0xFE10, true},  {0xFE6B, true},
      {0xFE6C, false}, {0xFF00, false},  {0xFF01, true},     {0xFF60, true},  {0xFF61, false},
      {0xFFDF, false}, {0xFFE0, true},   {0xFFE6, true},     {0xFFE7, false}, {0x1AFFF, false},
      {0x1B000, true}, {0x10FFFF, true}, {0xFFFFFFFF, true}, {0x41, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code_point);
    EXPECT_EQ(Impl::IsDoubleWidth(c.code_point), c.wide);
  }
}

TEST(DisplayWidthTest, ReadCharacter) {
  struct Case {
    const char* text;
    int available;  // -1: the whole text
    int bytes;
    int width;
  };
  const Case cases[] = {
      {"a", -1, 1, 1},
      {"\xE3\x80\xBF", -1, 3, 1},  // U+303F
      {"\xE3\x81\x80", -1, 3, 2},  // U+3040
      {"\xEA\x93\x86", -1, 3, 2},  // U+A4C6
      {"\xEA\x93\x87", -1, 3, 1},  // U+A4C7
      {"\xE4\xB8\x80", -1, 3, 2},  // U+4E00
      {"\xE1\x84\x80", -1, 3, 2},  // U+1100, the first wide code point
      {"\xC3\xA9", -1, 2, 1},      // U+00E9
      {"\xC1\x80", -1, 1, 1},      // 0xC1 is never a lead byte
      {"\x80\x80", -1, 1, 1},      // a stray continuation byte stands alone
      {"\xE3\x81\x80", 2, 2, 1},   // continuation bytes beyond the limit are not read
      {"\xE3\x81\x80", 1, 1, 1},
      {"\xC2\x80\x80\x80\x80\x80", -1, 6, 2},  // the announced length is not checked
      {"\xE3\x81\x80z", -1, 3, 2},
      {"\xFE\x80\x80", -1, 3, 2},  // 0xFE keeps all eight payload bits
      {"\xFF\x80\x80", -1, 3, 2},  // and so does 0xFF
      {"\xFF", -1, 1, 1},
      {"\xFE", -1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const int available = c.available < 0 ? static_cast<int>(std::strlen(c.text)) : c.available;
    const Impl::Character character = Impl::ReadCharacter(c.text, available);
    EXPECT_EQ(character.bytes, c.bytes);
    EXPECT_EQ(character.width, c.width);
  }
}

}  // namespace
}  // namespace option
