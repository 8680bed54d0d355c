// The confirmation of a flash at a POSIX terminal, over the places standard
// output may go, the ways the program can reach the terminal, and the
// interruptions an operator or a wrapper brings: a key writes the board only
// once the warning is on the keys' own terminal and the keyboard went quiet.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "testing/e2e/expected_output.h"
#include "testing/e2e/session.h"
#include "testing/e2e/work_folder.h"

namespace {

using Output = e2e::SessionOptions::Output;

const char* const kPosixTerminal = "a POSIX terminal's descriptors, modes and signals";
const std::string kWarningLine = "!WARNING! EEPROM writing operation is irreversible! !WARNING!";
const std::string kQuestionLine = "Press ESC to abort writing operation or any other key to continue...";

// One board and a 128-byte image to flash onto it.
struct FlashBench {
  FlashBench() {
    work.RegisterLibrary(SIMBOARD_PATH);
    work.WriteScenario("board 1 id=0x02014c31\n");
    work.Store("image.bin", std::string(128, 'I'));
  }
  std::vector<std::string> Args() const { return {"-f", work.Path("image.bin")}; }
  bool Written() const { return work.Journal().find("WriteFlash") != std::string::npos; }

  e2e::WorkFolder work;
};

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

struct Column {
  const char* name;
  Output output;
};

void PrintTo(const Column& c, std::ostream* out) { *out << c.name; }

class StandardOutputColumnTest : public testing::TestWithParam<Column> {};

// Wherever standard output goes, the warning and the question stand once on
// the terminal the keys come from before any key counts; a key typed while
// the keyboard settles is neither echoed nor taken, and ESC after it
// declines. A pipe whose reader has gone shows nothing, and nothing is
// asked.
TEST_P(StandardOutputColumnTest, TheWarningReachesTheKeysTerminal) {
  if (e2e::kUnderWine) GTEST_SKIP() << kPosixTerminal;
  const Column& c = GetParam();
  for (const bool early_key : {false, true}) {
    SCOPED_TRACE(early_key ? "a key during the settle, then ESC" : "a key after a quiet settle");
    FlashBench bench;
    e2e::Session session(VANTREL_PATH, bench.Args(), bench.work.Environment(),
                         {.output = c.output, .output_file = bench.work.Path("output.txt")});
    if (c.output == Output::kReaderGone) {
      e2e::ExpectExit(session.Finish(), 2, e2e::kOutputNotShown);
      EXPECT_FALSE(bench.Written());
      break;
    }
    if (early_key) {
      ASSERT_TRUE(session.TypeWhileSettling("k"));
      ASSERT_TRUE(session.PressKey("\x1b"));
    } else {
      ASSERT_TRUE(session.PressKey("k"));
      ASSERT_TRUE(session.PressKey("k"));  // the closing wait
    }
    const e2e::Ending ending = session.Finish();
    e2e::ExpectExit(ending, early_key ? 3 : 0);
    EXPECT_EQ(bench.Written(), !early_key);
    const std::string shown = session.TerminalShown();
    EXPECT_EQ(Count(shown, kWarningLine), 1) << shown;
    EXPECT_EQ(Count(shown, kQuestionLine), 1) << shown;
    if (early_key) {
      EXPECT_EQ(shown.substr(shown.find(kQuestionLine) + kQuestionLine.size()).find('k'), std::string::npos)
          << shown;
    }
    // Standard output keeps its own text, with no copy in it.
    std::string output = ending.output;
    if (c.output == Output::kFile) output = bench.work.Contents("output.txt");
    if (c.output == Output::kOtherTerminal) output = session.OtherTerminalShown();
    if (c.output != Output::kNull && c.output != Output::kTerminal) {
      EXPECT_EQ(Count(output, kWarningLine), 1) << output;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Flash, StandardOutputColumnTest,
                         testing::Values(Column{"TheTerminal", Output::kTerminal},
                                         Column{"AFile", Output::kFile}, Column{"DevNull", Output::kNull},
                                         Column{"APipeWithAReader", Output::kCollected},
                                         Column{"APipeWhoseReaderHasGone", Output::kReaderGone},
                                         Column{"AnotherTerminal", Output::kOtherTerminal}),
                         e2e::CaseName());

struct TerminalShape {
  const char* name;
  e2e::SessionOptions options;
  bool reachable;
};

void PrintTo(const TerminalShape& c, std::ostream* out) { *out << c.name; }

class TerminalCopyTest : public testing::TestWithParam<TerminalShape> {};

// The copy goes through a descriptor already open on the terminal where it
// can: under su the terminal's name does not open for the new user, while
// /dev/tty still does. Where no way takes the text, nothing is written.
TEST_P(TerminalCopyTest, TheCopyFindsTheTerminalOrNothingIsWritten) {
  if (e2e::kUnderWine) GTEST_SKIP() << kPosixTerminal;
  const TerminalShape& c = GetParam();
  FlashBench bench;
  e2e::Session session(VANTREL_PATH, bench.Args(), bench.work.Environment(), c.options);
  if (c.reachable) {
    ASSERT_TRUE(session.PressKey("k"));
    ASSERT_TRUE(session.PressKey("k"));
    e2e::ExpectExit(session.Finish(), 0);
    EXPECT_NE(session.TerminalShown().find(kQuestionLine), std::string::npos) << session.TerminalShown();
  } else {
    e2e::ExpectExit(session.Finish(), 2, e2e::kTerminalNotShown);
  }
  EXPECT_EQ(bench.Written(), c.reachable);
}

INSTANTIATE_TEST_SUITE_P(
    Flash, TerminalCopyTest,
    testing::Values(TerminalShape{"ReadOnlyInputWritesThroughDevTty",
                                  {.terminal_read_only = true, .terminal_name_closed = true},
                                  true},
                    TerminalShape{"NoControllingTerminalWritesByName",
                                  {.terminal_read_only = true, .terminal_not_controlling = true},
                                  true},
                    TerminalShape{"NoWayToTheTerminalWritesNothing",
                                  {.terminal_read_only = true,
                                   .terminal_not_controlling = true,
                                   .terminal_name_closed = true},
                                  false}),
    e2e::CaseName());

// A wrapper that ignores SIGINT (trap '' INT) leaves Ctrl+C at the
// confirmation a decline, in the settle and at the answer.
TEST(ConsentInterruptTest, CtrlCDeclinesWhereSigintWasIgnored) {
  if (e2e::kUnderWine) GTEST_SKIP() << kPosixTerminal;
  for (const bool settling : {true, false}) {
    SCOPED_TRACE(settling ? "during the settle" : "at the answer");
    FlashBench bench;
    e2e::Session session(VANTREL_PATH, bench.Args(), bench.work.Environment(), {.interrupt_ignored = true});
    ASSERT_TRUE(settling ? session.TypeWhileSettling("\x03") : session.PressKey("\x03"));
    if (session.StillRunningAfter(1500)) session.Type("k");  // the key that would write
    e2e::ExpectExit(session.Finish(), 3);
    EXPECT_FALSE(bench.Written());
  }
}

// Stopped at the confirmation (Ctrl+Z) and continued with an Enter typed
// at the shell: what was typed meanwhile is thrown away, the question stands
// on the terminal again, and the keyboard settles again before a key counts.
TEST(ConsentInterruptTest, AContinueShowsTheQuestionAgainAndSettlesAgain) {
  if (e2e::kUnderWine) GTEST_SKIP() << kPosixTerminal;
  FlashBench bench;
  e2e::Session session(VANTREL_PATH, bench.Args(), bench.work.Environment());
  ASSERT_TRUE(session.PressKey(""));
  session.Stop();
  struct termios line_mode = session.TerminalSettings();
  line_mode.c_lflag |= ICANON | ECHO;
  session.SetTerminalSettings(line_mode);
  session.Type("\n");
  session.Signal(SIGCONT);
  ASSERT_TRUE(session.PressKey("\x1b"));
  e2e::ExpectExit(session.Finish(), 3);
  EXPECT_FALSE(bench.Written());
  EXPECT_EQ(Count(session.TerminalShown(), kQuestionLine), 2) << session.TerminalShown();
}

struct ScriptedShape {
  const char* name;
  bool path_is_stdin;  // -f /dev/stdin rather than the file's own path
  bool another_file;   // standard input is a copy of the image, not the image
};

void PrintTo(const ScriptedShape& c, std::ostream* out) { *out << c.name; }

class ImageAsInputTest : public testing::TestWithParam<ScriptedShape> {};

// Scripted input that is the image itself would answer the confirmation
// with the image's own first byte: it cannot answer, whatever its path.
TEST_P(ImageAsInputTest, TheImageCannotAnswerItsOwnConfirmation) {
  if (e2e::kUnderWine) GTEST_SKIP() << "keys come from the Windows console whatever standard input is";
  const ScriptedShape& c = GetParam();
  FlashBench bench;
  bench.work.Store("copy.bin", std::string(128, 'I'));
  const std::string input_file = bench.work.Path(c.another_file ? "copy.bin" : "image.bin");
  e2e::Session session(VANTREL_PATH, {"-f", c.path_is_stdin ? "/dev/stdin" : bench.work.Path("image.bin")},
                       bench.work.Environment(), {.terminal_input = false, .input_file = input_file});
  if (c.another_file) {
    e2e::ExpectExit(session.Finish(), 0);
    EXPECT_TRUE(bench.Written());
    return;
  }
  e2e::ExpectExit(session.Finish(), 3,
                  "vantrel: standard input is the image file itself, so it cannot answer the confirmation: "
                  "nothing was written to the board\n");
  EXPECT_FALSE(bench.Written());
}

INSTANTIATE_TEST_SUITE_P(Flash, ImageAsInputTest,
                         testing::Values(ScriptedShape{"ItsOwnPath", false, false},
                                         ScriptedShape{"DevStdin", true, false},
                                         ScriptedShape{"ACopyAnswers", false, true}),
                         e2e::CaseName());

}  // namespace
