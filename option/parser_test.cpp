#include "option/parser.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace option {
namespace {

// What one index should hold after the parse.
struct Expect {
  bool present;
  const char* argument;  // compared as text; null means no argument
};
constexpr Expect kAbsent{false, nullptr};
constexpr Expect kNoArgument{true, nullptr};
constexpr Expect With(const char* argument) { return {true, argument}; }

// Both passes as the program runs them, over a null-terminated copy of the
// arguments so that pointers into the vector can be checked.
struct Parsed {
  std::vector<const char*> args;
  Stats stats;
  std::unique_ptr<ParsedOption[]> options;
  std::unique_ptr<ParsedOption[]> buffer;
  std::unique_ptr<Parser> parser;

  explicit Parsed(std::vector<const char*> arguments) : args(std::move(arguments)) {
    const auto count = static_cast<std::int32_t>(args.size());
    args.push_back(nullptr);
    stats.measure(count, args.data());
    options.reset(new ParsedOption[stats.options_size]);
    buffer.reset(new ParsedOption[stats.buffer_size]);
    parser = std::make_unique<Parser>(count, args.data(), options.get(), buffer.get());
  }
};

void ExpectSlot(const ParsedOption& slot, Expect expect, const char* what) {
  SCOPED_TRACE(what);
  ASSERT_EQ(slot.is_present(), expect.present);
  if (!expect.present) return;
  if (expect.argument == nullptr) {
    EXPECT_EQ(slot.argument, nullptr);
  } else {
    ASSERT_NE(slot.argument, nullptr);
    EXPECT_STREQ(slot.argument, expect.argument);
  }
}

struct ParseCase {
  std::vector<const char*> args;
  bool error;
  Expect flash;
  Expect save;
  Expect unknown;
  std::int32_t left_over;
  std::uint32_t buffer_size;
};

std::string Describe(const std::vector<const char*>& args) {
  std::string text = "args:";
  for (const char* arg : args) text += std::string(" [") + arg + "]";
  return text;
}

TEST(ParserTest, CommandLines) {
  const ParseCase cases[] = {
      {{}, false, kAbsent, kAbsent, kAbsent, 0, 1},
      {{"-f"}, true, kAbsent, kAbsent, kAbsent, 0, 1},
      {{"--flash"}, true, kAbsent, kAbsent, kAbsent, 0, 1},
      {{"-s"}, true, kAbsent, kAbsent, kAbsent, 0, 1},
      {{"--save"}, true, kAbsent, kAbsent, kAbsent, 0, 1},
      {{"-f", "a.bin"}, false, With("a.bin"), kAbsent, kAbsent, 0, 2},
      {{"--flash", "a.bin"}, false, With("a.bin"), kAbsent, kAbsent, 0, 2},
      {{"--flash=a.bin"}, false, With("a.bin"), kAbsent, kAbsent, 0, 2},
      {{"-fa.bin"}, false, With("a.bin"), kAbsent, kAbsent, 0, 2},
      {{"-f=a.bin"}, false, With("=a.bin"), kAbsent, kAbsent, 0, 2},
      {{"--flash="}, false, With(""), kAbsent, kAbsent, 0, 2},
      {{"-flash", "a.bin"}, false, With("lash"), kAbsent, kAbsent, 1, 2},
      {{"--fla", "a.bin"}, false, kAbsent, kAbsent, kNoArgument, 1, 2},
      {{"--FLASH", "a.bin"}, false, kAbsent, kAbsent, kNoArgument, 1, 2},
      {{"--flashy=a.bin"}, false, kAbsent, kAbsent, kNoArgument, 0, 2},
      {{"-x"}, false, kAbsent, kAbsent, kNoArgument, 0, 2},
      {{"-xf", "a.bin"}, false, With("a.bin"), kAbsent, kNoArgument, 0, 3},
      {{"-fs"}, false, With("s"), kAbsent, kAbsent, 0, 2},
      {{"-f", "-s"}, false, With("-s"), kAbsent, kAbsent, 0, 2},
      {{"--flash", "--save"}, false, With("--save"), kAbsent, kAbsent, 0, 2},
      {{"-f", "--"}, false, With("--"), kAbsent, kAbsent, 0, 2},
      {{"--"}, false, kAbsent, kAbsent, kAbsent, 0, 1},
      {{"--", "-f", "a.bin"}, false, kAbsent, kAbsent, kAbsent, 2, 1},
      {{"-"}, false, kAbsent, kAbsent, kAbsent, 1, 1},
      {{""}, false, kAbsent, kAbsent, kAbsent, 1, 1},
      {{"a.bin", "-f", "b.bin"}, false, kAbsent, kAbsent, kAbsent, 3, 1},
      {{"-f", "a.bin", "extra"}, false, With("a.bin"), kAbsent, kAbsent, 1, 2},
      {{"-f", "a.bin", "-f", "b.bin"}, false, With("a.bin"), kAbsent, kAbsent, 0, 3},
      {{"-f", "a.bin", "-s", "b.bin"}, false, With("a.bin"), With("b.bin"), kAbsent, 0, 3},
      {{"-s", "b.bin", "-f", "a.bin"}, false, With("a.bin"), With("b.bin"), kAbsent, 0, 3},
      {{"--save=b.bin", "-xs", "c.bin"}, false, kAbsent, With("b.bin"), kNoArgument, 0, 4},
      {{"-f", ""}, false, With(""), kAbsent, kAbsent, 0, 2},
      {{"--=x"}, false, kAbsent, kAbsent, kNoArgument, 0, 2},
      {{"-f", "a.bin", "-x", "-s"}, true, With("a.bin"), kAbsent, kNoArgument, 0, 3},
      {{"-x", "--save"}, true, kAbsent, kAbsent, kNoArgument, 0, 2},
  };

  for (const ParseCase& c : cases) {
    SCOPED_TRACE(Describe(c.args));
    Parsed parsed(c.args);
    const Parser& parser = *parsed.parser;

    EXPECT_EQ(parser.error, c.error);
    EXPECT_EQ(parsed.stats.options_size, 4u);
    EXPECT_EQ(parsed.stats.buffer_size, c.buffer_size);
    ExpectSlot(parsed.options[FLASH], c.flash, "FLASH");
    ExpectSlot(parsed.options[SAVE], c.save, "SAVE");
    ExpectSlot(parsed.options[UNKNOWN], c.unknown, "UNKNOWN");
    EXPECT_FALSE(parsed.options[3].is_present());

    // The sizing pass counts exactly what the parse stores, and the spare
    // buffer slot stays empty.
    EXPECT_EQ(static_cast<std::uint32_t>(parser.occurrence_count), c.buffer_size - 1);
    EXPECT_FALSE(parsed.buffer[c.buffer_size - 1].is_present());

    const auto count = static_cast<std::int32_t>(c.args.size());
    EXPECT_EQ(parser.nonoption_count, c.left_over);
    if (c.left_over > 0) {
      EXPECT_EQ(parser.nonoption_args, parsed.args.data() + (count - c.left_over));
    } else {
      EXPECT_EQ(parser.nonoption_args, nullptr);
    }
  }
}

TEST(ParserTest, OccurrenceNamesPointIntoTheArguments) {
  struct NameCase {
    std::vector<const char*> args;
    OptionIndex index;
    int arg_index;
    int offset;
    std::int32_t name_length;
  };
  const NameCase cases[] = {
      {{"--fla", "a.bin"}, UNKNOWN, 0, 0, 5}, {{"--FLASH"}, UNKNOWN, 0, 0, 7},
      {{"--=x"}, UNKNOWN, 0, 0, 2},           {{"-x"}, UNKNOWN, 0, 1, 1},
      {{"--flash=a.bin"}, FLASH, 0, 0, 7},    {{"--save", "b.bin"}, SAVE, 0, 0, 6},
      {{"-xf", "a.bin"}, FLASH, 0, 2, 1},     {{"-xs=b"}, SAVE, 0, 2, 1},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(Describe(c.args));
    Parsed parsed(c.args);
    const ParsedOption& slot = parsed.options[c.index];
    ASSERT_TRUE(slot.is_present());
    EXPECT_EQ(slot.descriptor->index, static_cast<std::uint32_t>(c.index));
    EXPECT_EQ(slot.name, parsed.args[c.arg_index] + c.offset);
    EXPECT_EQ(slot.name_length, c.name_length);
  }
}

TEST(ParserTest, ArgumentsAreNotCopied) {
  Parsed parsed({"-f", "a.bin", "--save=b.bin"});
  EXPECT_EQ(parsed.options[FLASH].argument, parsed.args[1]);
  EXPECT_EQ(parsed.options[SAVE].argument, parsed.args[2] + 7);
}

TEST(ParserTest, RepeatedOptionsFormOneListInCommandLineOrder) {
  Parsed parsed({"-f", "a.bin", "-f", "b.bin", "-f", "c.bin"});
  ASSERT_FALSE(parsed.parser->error);
  ASSERT_EQ(parsed.stats.buffer_size, 4u);
  ParsedOption& head = parsed.options[FLASH];
  ParsedOption* buffer = parsed.buffer.get();
  EXPECT_STREQ(head.argument, "a.bin");
  EXPECT_STREQ(buffer[0].argument, "a.bin");
  EXPECT_STREQ(buffer[1].argument, "b.bin");
  EXPECT_STREQ(buffer[2].argument, "c.bin");

  const auto link = [](const ParsedOption& record, bool marked) {
    return ParsedOption::link_to(&record, marked);
  };
  EXPECT_EQ(head.next, link(buffer[1], false));
  EXPECT_EQ(buffer[1].next, link(buffer[2], false));
  EXPECT_EQ(buffer[2].next, link(head, true));
  EXPECT_EQ(head.previous, link(buffer[2], true));
  EXPECT_EQ(buffer[2].previous, link(buffer[1], false));
  EXPECT_EQ(buffer[1].previous, link(head, false));
  // The first occurrence's own slot stays a list of its own.
  EXPECT_EQ(buffer[0].next, link(buffer[0], true));
  EXPECT_EQ(buffer[0].previous, link(buffer[0], true));
  EXPECT_EQ(buffer[2].list_first(), &head);
  EXPECT_EQ(buffer[1].list_last(), &buffer[2]);
}

// Scans the arguments and remembers what the scan handed over.
class RecordingAction final : public Parser::Action {
 public:
  explicit RecordingAction(int refuse_at) : refuse_at_(refuse_at) {}
  bool on_option(const ParsedOption& option) override {
    names.push_back(std::string(option.name, static_cast<size_t>(option.name_length)));
    return static_cast<int>(names.size()) != refuse_at_;
  }
  bool on_end(std::int32_t remaining, const char* const* rest) override {
    ended = true;
    end_remaining = remaining;
    end_rest = rest;
    return end_answer;
  }
  std::vector<std::string> names;
  bool ended = false;
  bool end_answer = true;
  std::int32_t end_remaining = -1;
  const char* const* end_rest = nullptr;

 private:
  int refuse_at_;
};

TEST(ScanArgumentsTest, RefusedOccurrenceEndsTheScanWithoutOnEnd) {
  const char* args[] = {"-xy", "-f", "a.bin", nullptr};
  RecordingAction action(2);
  EXPECT_FALSE(scan_arguments(3, args, action, true));
  EXPECT_EQ(action.names, (std::vector<std::string>{"x", "y"}));
  EXPECT_FALSE(action.ended);
}

TEST(ScanArgumentsTest, OnEndDecidesTheResult) {
  const char* args[] = {"-x", "word", nullptr};
  RecordingAction action(0);
  action.end_answer = false;
  EXPECT_FALSE(scan_arguments(2, args, action, true));
  EXPECT_TRUE(action.ended);
  EXPECT_EQ(action.end_remaining, 1);
  EXPECT_EQ(action.end_rest, args + 1);
}

TEST(ScanArgumentsTest, StopsAtANullArgumentWithinTheCount) {
  const char* args[] = {"-x", nullptr, "-s", "b.bin"};
  RecordingAction action(0);
  EXPECT_TRUE(scan_arguments(4, args, action, true));
  EXPECT_EQ(action.names, (std::vector<std::string>{"x"}));
  EXPECT_EQ(action.end_remaining, 0);
}

TEST(ScanArgumentsTest, NegativeCountScansNothing) {
  const char* args[] = {"-f", "a.bin", nullptr};
  RecordingAction action(0);
  EXPECT_TRUE(scan_arguments(-1, args, action, true));
  EXPECT_TRUE(action.names.empty());
  EXPECT_EQ(action.end_remaining, 0);
}

// A required option whose next argument is null has nothing to take.
TEST(ScanArgumentsTest, RequiredOptionBeforeNullArgumentFails) {
  const char* args[] = {"-f", nullptr};
  RecordingAction action(0);
  EXPECT_FALSE(scan_arguments(2, args, action, true));
  EXPECT_TRUE(action.names.empty());
}

TEST(ParserTest, ContinuesBehindOccurrencesAlreadyInTheBuffer) {
  const char* first[] = {"-f", "a.bin", nullptr};
  const char* second[] = {"-f", "b.bin", nullptr};
  ParsedOption options[4];
  ParsedOption buffer[3];
  Parser parser1(2, first, options, buffer);
  Parser parser2(2, second, options, buffer);
  EXPECT_EQ(parser2.occurrence_count, 2);
  EXPECT_STREQ(buffer[1].argument, "b.bin");
  EXPECT_EQ(options[FLASH].next, ParsedOption::link_to(&buffer[1], false));
}

}  // namespace
}  // namespace option
