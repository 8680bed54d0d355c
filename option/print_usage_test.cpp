#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "option/option_table.h"
#include "option/print_usage.h"

namespace option {
namespace {

using Impl = PrintUsageImplementation;

// Keeps every write separately.
struct RecordingWriter final : Impl::IStringWriter {
  void write(const char* str, std::int32_t size) override {
    writes.emplace_back(str, static_cast<size_t>(size));
  }
  std::string text() const {
    std::string all;
    for (const std::string& piece : writes) all += piece;
    return all;
  }
  std::vector<std::string> writes;
};

// A table of help texts; a null text is a table break.
class TestTable {
 public:
  explicit TestTable(std::vector<const char*> helps) {
    for (const char* help : helps) rows_.push_back({UNKNOWN, 0, "", "", check_none, help});
    rows_.push_back({0, 0, nullptr, nullptr, nullptr, nullptr});
  }
  const OptionDescriptor* data() const { return rows_.data(); }

 private:
  std::vector<OptionDescriptor> rows_;
};

std::string Format(const OptionDescriptor* table) {
  RecordingWriter writer;
  Impl::FormatUsage(writer, table);
  return writer.text();
}

std::string Format(std::vector<const char*> helps) { return Format(TestTable(std::move(helps)).data()); }

std::string Spaces(int count) { return std::string(static_cast<size_t>(count), ' '); }
std::string Repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

// The tool's own table laid out. The end-to-end suite has its own copy
// (testing/e2e/expected_output.h) on purpose: that one checks what reaches
// the operator's terminal through the program and its streams, this one the
// layout alone, so that a wrong screen says which layer broke it.
const char kProgramUsage[] =
    "USAGE: Vantrel.exe [options]\n"
    "\n"
    "Options:\n"
    "  --flash, -f  Write EEPROM from *.bin file to device flash.\n"
    "Usage: -f tarn.bin\n"
    "  --save, -s   Save current EEPROM data from device flash to file.\n"
    "Usage: -s old_eeprom.bin\n"
    "\n"
    "Examples:\n"
    "  Vantrel.exe -f brook.bin\n"
    "  Vantrel.exe --flash tarn.bin\n"
    "  Vantrel.exe -s 2014_10_11.bin\n"
    "\n";

TEST(FormatUsageTest, ProgramUsageScreen) {
  RecordingWriter writer;
  Impl::FormatUsage(writer, option_table);
  EXPECT_EQ(writer.text(), kProgramUsage);
  // Every line end is a write of its own, one byte long.
  int line_ends = 0;
  for (const std::string& piece : writer.writes) {
    if (piece.find('\n') == std::string::npos) continue;
    EXPECT_EQ(piece, "\n");
    ++line_ends;
  }
  EXPECT_EQ(line_ends, 13);
}

TEST(FormatUsageTest, OStreamWriterPassesBytesUnchanged) {
  std::ostringstream stream;
  Impl::OStreamWriter<std::ostream> writer(stream);
  Impl::FormatUsage(writer, option_table);
  EXPECT_EQ(stream.str(), kProgramUsage);
  writer.write("a\0b", 3);
  EXPECT_EQ(stream.str().substr(sizeof kProgramUsage - 1), std::string("a\0b", 3));
}

TEST(FormatUsageTest, TableStartingWithTheEndWritesNothing) {
  RecordingWriter writer;
  Impl::FormatUsage(writer, TestTable({}).data());
  EXPECT_TRUE(writer.writes.empty());
}

struct LayoutCase {
  const char* name;
  std::vector<const char*> helps;
  std::string expected;
};

void PrintTo(const LayoutCase& layout_case, std::ostream* out) { *out << layout_case.name; }

class LayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, WritesExactly) { EXPECT_EQ(Format(GetParam().helps), GetParam().expected); }

const std::string kWord100 = Repeat("x", 100);
const std::string kFreeText103 = Repeat("word ", 20) + "end";
const std::string kCell45 = Repeat("c", 45);
const std::string kDesc60 = Repeat("d", 59) + "e";
const std::string kCell85 = Repeat("w", 85);
const std::string kIdeograph = "\xE4\xB8\x80";  // U+4E00, two columns
const std::string kRow85 = kCell85 + "\tx";
const std::string kCellWithLongWord = "  -a  \t" + kWord100 + " tail";
const std::string kCellWithLeadingSpace = "  -a  \t " + kWord100;
const std::string kIdeographs50 = "ab\t" + Repeat(kIdeograph, 50);
const std::string kIdeographCell = Repeat(kIdeograph, 2) + "\tone\nab\ttwo";
const std::string kOwnLine = kCell45 + "\t" + kDesc60;
const std::string kOwnLineWrapped = kCell45 + "\t" + Repeat("abcd ", 14) + "end";
const std::string kBeside = kCell45 + "\t" + "0123456789";
const std::string kNineCells = "a\tb\tc\td\te\tf\tg\th\t" + Repeat("i", 90) + "\tj";
const std::string kWrapped =
    "  -o  \tone two three four five six seven eight nine ten eleven twelve thirteen "
    "fourteen fifteen sixteen";

INSTANTIATE_TEST_SUITE_P(
    Rules, LayoutTest,
    testing::Values(
        LayoutCase{"EmptyHelpTextIsOneEmptyLine", {"", "a"}, "\na\n"},
        LayoutCase{"TrailingNewlineGivesAnEmptyLine", {"a\n"}, "a\n\n"},
        LayoutCase{"FreeTextWrapsAtEighty",
                   {kFreeText103.c_str()},
                   Repeat("word ", 15) + "word\n" + Repeat("word ", 4) + "end\n"},
        LayoutCase{"FreeTextIgnoresTabStopsAndColumnWidths",
                   {"a free text row much wider than the cell\nab\tc"},
                   "a free text row much wider than the cell\nabc\n"},
        LayoutCase{"ShorterCellIsPaddedToTheTabStop", {"abc\tx\na\ty"}, "abcx\na  y\n"},
        LayoutCase{"LastColumnWrapsAtItsTabStop",
                   {kWrapped.c_str()},
                   "  -o  one two three four five six seven eight nine ten eleven twelve thirteen\n" +
                       Spaces(6) + "fourteen fifteen sixteen\n"},
        LayoutCase{"LongWordIsCutWhereTheLineIsFull",
                   {kCellWithLongWord.c_str()},
                   "  -a  " + Repeat("x", 74) + "\n" + Spaces(6) + Repeat("x", 26) + " tail\n"},
        LayoutCase{"OnlySpaceInReachFirstGivesAnEmptyFirstLine",
                   {kCellWithLeadingSpace.c_str()},
                   "  -a  \n" + Spaces(6) + Repeat("x", 74) + "\n" + Spaces(6) + Repeat("x", 26) + "\n"},
        LayoutCase{"CellsBeyondTheEighthAreDropped", {kNineCells.c_str()}, "abcdefgh\n"},
        LayoutCase{"VerticalTabCellsSideBySide",
                   {"AAAA\vaaaa\tBBBB\tCCCC\vcccc\vdddd"},
                   "AAAABBBBCCCC\naaaa    cccc\n        dddd\n"},
        LayoutCase{"EmptyLastColumnLineStillGetsItsSpaces", {"abcd\vef\tX"}, "abcdX\nef  \n"},
        LayoutCase{"VerticalTabCellWidensColumnZero",
                   {"abcdef\v\tX\nab\tY"},
                   "abcdefX\n" + Spaces(6) + "\nab    Y\n"},
        LayoutCase{"OwnLineMode", {kOwnLine.c_str()}, kCell45 + "\n" + Spaces(20) + kDesc60 + "\n"},
        LayoutCase{
            "OwnLineModeWrapsAtSixty",
            {kOwnLineWrapped.c_str()},
            kCell45 + "\n" + Spaces(20) + Repeat("abcd ", 11) + "abcd\n" + Spaces(20) + "abcd abcd end\n"},
        LayoutCase{
            "OwnLineModeIndentsEveryRowLine",
            {kOwnLine.c_str(), "B\tshort"},
            kCell45 + "\n" + Spaces(20) + kDesc60 + "\nB" + Spaces(44) + "\n" + Spaces(20) + "short\n"},
        LayoutCase{"ShortDescriptionStaysBesideAWideCell", {kBeside.c_str()}, kCell45 + "0123456789\n"},
        LayoutCase{"OverlongCellDropsOutOfTheWidths",
                   {kRow85.c_str(), "BBBBB\ty"},
                   kCell85 + "\n" + Spaces(5) + "x\nBBBBBy\n"},
        LayoutCase{"WideCharactersCountTwoColumns",
                   {kIdeographCell.c_str()},
                   Repeat(kIdeograph, 2) + "one\nab  two\n"},
        LayoutCase{"WidthsAroundTheHalfFillSpace",
                   {"\xE3\x81\x80\xE3\x80\xBF\xEA\x93\x86\xEA\x93\x87\tx", "a\ty"},
                   "\xE3\x81\x80\xE3\x80\xBF\xEA\x93\x86\xEA\x93\x87x\na     y\n"},
        LayoutCase{"WideCharactersWrapByColumns",
                   {kIdeographs50.c_str()},
                   "ab" + Repeat(kIdeograph, 39) + "\n" + Spaces(2) + Repeat(kIdeograph, 11) + "\n"},
        LayoutCase{"TableBreakStartsFreshWidths", {"a\tx", nullptr, nullptr, "longer\ty"}, "ax\nlongery\n"}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

// A descriptor without short names but with a help text continues the table
// it stands in; the layout must still come to an end.
TEST(FormatUsageTest, HelpTextWithoutShortNamesEndsTheLayout) {
  const OptionDescriptor table[] = {
      {UNKNOWN, 0, "", "", check_none, "a\tx"},   {UNKNOWN, 0, nullptr, nullptr, check_none, "bb\ty"},
      {UNKNOWN, 0, "", "", check_none, nullptr},  {UNKNOWN, 0, "", "", check_none, "c\tz"},
      {0, 0, nullptr, nullptr, nullptr, nullptr},
  };
  EXPECT_EQ(Format(table), "a x\nbby\ncz\n");
}

// A wrapped text of more lines than the ring holds comes out complete and in order.
TEST(FormatUsageTest, LongWrappedTextsStayCompleteAndInOrder) {
  std::vector<std::string> words;
  for (int i = 0; i < 20; ++i) words.push_back(std::to_string(100 + i) + Repeat("w", 36));  // 39 columns
  std::string last_column = Repeat("c", 40) + "\t";
  std::string free_text;
  std::string expected_last = Repeat("c", 40);
  std::string expected_free;
  for (size_t i = 0; i < words.size(); ++i) {
    last_column += (i > 0 ? " " : "") + words[i];
    expected_last += (i > 0 ? "\n" + Spaces(40) : "") + words[i];
    free_text += (i > 0 ? " " : "") + words[i] + words[i];  // 78 columns a word
    expected_free += words[i] + words[i] + "\n";
  }
  EXPECT_EQ(Format({last_column.c_str()}), expected_last + "\n");
  EXPECT_EQ(Format({free_text.c_str()}), expected_free);
}

// Spaces and line ends are written one byte at a time; a cell line or a
// wrapped piece is one slice of the help text.
TEST(FormatUsageTest, WritesSlicesOfTheHelpText) {
  const std::string help = "ab\tone two\v three";
  RecordingWriter writer;
  Impl::FormatUsage(writer, TestTable({help.c_str()}).data());
  for (const std::string& piece : writer.writes) {
    if (piece.find_first_of(" \n") != std::string::npos && piece.size() > 1) {
      EXPECT_NE(help.find(piece), std::string::npos) << piece;
    }
  }
  EXPECT_EQ(writer.text(), "abone two\n   three\n");
}

}  // namespace
}  // namespace option
