#include "app/board_selection.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/board_discovery.h"

namespace {

struct SelectionCase {
  const char* answer;
  std::int32_t selected;
  const char* left_unread;  // what a later key wait would read
};

TEST(BoardSelectionTest, ReadsOneNumberAndConsumesItsLine) {
  const SelectionCase cases[] = {
      {"2\nk", 2, "k"},
      {"3\n", 3, ""},
      {"7\nk", 1, "k"},
      {"0\nk", 1, "k"},
      {"-1\nk", 1, "k"},
      {"+2\nk", 2, "k"},
      {"abc\nk", 1, "k"},
      {"2abc\nk", 2, "k"},
      {"\n\n  \n 3\nk", 3, "k"},
      {"4294967298\nk", 1, "k"},
      {"2147483647\nk", 1, "k"},
      {"", 1, ""},
      {"2", 2, ""},
  };
  // Bounded: a line that does not end within 4 KiB is no answer, and what
  // lies past the bound is left for later.
  const std::string long_line = "2" + std::string(kAnswerBound - 2, ' ');
  const std::string blank_lines(kAnswerBound, '\n');
  const std::string zeros(2 * kAnswerBound, '\0');
  const std::string bounded[][3] = {
      {long_line + "\nk", "2", "k"},
      {long_line + " \nk", "1", "\nk"},
      {blank_lines + "2\nk", "1", "2\nk"},
      {zeros, "1", zeros.substr(kAnswerBound)},
  };
  for (const auto& [answer, selected, left_unread] : bounded) {
    std::istringstream in(answer);
    EXPECT_EQ(ReadBoardSelection(in, 3), std::stoi(selected)) << answer.size();
    std::string rest;
    std::getline(in, rest, '\1');
    EXPECT_EQ(rest, left_unread) << answer.size();
  }
  for (const SelectionCase& c : cases) {
    std::istringstream in(c.answer);
    EXPECT_EQ(ReadBoardSelection(in, 3), c.selected) << c.answer;
    in.clear();
    std::string rest;
    std::getline(in, rest, '\0');
    EXPECT_EQ(rest, c.left_unread) << c.answer;
  }
}

TEST(ListingLineTest, NumberInDecimalIdentifierInHexWhateverTheStreamWasLeftIn) {
  const BoardModelTable models{{0x80014C31, "AQ-816X"}};
  std::ostringstream out;
  out << std::hex;
  PrintListingLine(out, 10, 0x80014C31, models);
  PrintListingLine(out, 11, 0, models);
  out << 12;
  EXPECT_EQ(out.str(), "[10] AQ-816X [id=0x80014c31]\n[11] Unknown device [id=0x0]\n12");
}

}  // namespace
