// The confirmation of a flash under attack: nothing but a key that the
// operator pressed after the warning was on the screen writes the board.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/case_name.h"
#include "e2e/expected_output.h"
#include "e2e/session.h"
#include "e2e/workbench.h"

namespace {

using e2e::kConfirm;
using e2e::kPrompt;
using Output = e2e::SessionOptions::Output;

struct ConsentCase {
  const char* name;
  std::string extra;              // the image's Extra text
  std::string shown;              // its line in the report; "" when not checked
  std::string answer;             // typed at the prompt of two boards; "" for one board and no prompt
  std::vector<std::string> keys;  // each typed at a key wait
  int status;
  int written_board = 0;  // the board WriteFlash reached; 0 for none
  std::string errors = "";
  e2e::SessionOptions options = {};
  // Why the case cannot run against the Windows build under Wine, if so.
  const char* not_under_wine = nullptr;
  std::string file_name = "image.bin";
};

void PrintTo(const ConsentCase& c, std::ostream* out) { *out << c.name; }

class ConsentTest : public testing::TestWithParam<ConsentCase> {};

TEST_P(ConsentTest, OnlyAKeyPressedAfterTheWarningWrites) {
  const ConsentCase& c = GetParam();
  if (c.not_under_wine != nullptr && e2e::kUnderWine) GTEST_SKIP() << c.not_under_wine;
  e2e::Workbench bench;
  bench.RegisterLibrary(SIMBOARD_PATH);
  bench.Store("keys.txt", "kkkk");
  bench.WriteBench("hold " + bench.Path("keys.txt") + "\nboard 1" + (c.answer.empty() ? "" : "-2") +
                   " id=0x02014c31\n");
  const std::string image = std::string(88, 'I') + c.extra + std::string(40 - c.extra.size(), '\0');
  bench.Store(c.file_name, image);

  e2e::Session session(VANTREL_PATH, {"-f", bench.Path(c.file_name)}, bench.Environment(), c.options);
  if (!c.answer.empty()) {
    ASSERT_TRUE(session.WaitForOutputEnding(kPrompt)) << session.output();
    session.Type(c.answer);
  }
  for (const std::string& key : c.keys) {
    ASSERT_TRUE(session.PressKey(key)) << "no key wait; output so far:\n" << session.output();
  }
  const e2e::Ending ending = session.Finish();
  EXPECT_TRUE(ending.exited) << "signal " << ending.signal;
  EXPECT_EQ(ending.status, c.status);
  e2e::ExpectErrors(ending.errors, c.errors);
  if (c.options.output == Output::kCollected) {
    EXPECT_NE(ending.output.find(kConfirm), std::string::npos) << ending.output;
  }
  // Nothing the program prints can make a terminal answer.
  EXPECT_EQ(ending.output.find('\x1b'), std::string::npos) << ending.output;
  if (!c.shown.empty()) {
    EXPECT_NE(ending.output.find("\nExtra: " + c.shown + "\n"), std::string::npos) << ending.output;
  }
  const std::string journal = bench.Journal();
  const std::size_t write = journal.find("WriteFlash(board ");
  if (c.written_board == 0) {
    EXPECT_EQ(write, std::string::npos) << journal;
  } else {
    EXPECT_EQ(journal.find("WriteFlash(board " + std::to_string(c.written_board) + ","), write) << journal;
  }
}

e2e::SessionOptions Started(Output output, bool input_closed = false, bool non_blocking = false) {
  e2e::SessionOptions options;
  options.output = output;
  options.input_closed = input_closed;
  options.input_non_blocking = non_blocking;
  return options;
}

const char* const kNoSuchConsole = "no such terminal or descriptor on the Windows console";

e2e::SessionOptions Piped(const std::string& input) {
  e2e::SessionOptions options;
  options.terminal_input = false;
  options.input = input;
  return options;
}

// `typed`, followed under Wine by a lone ESC (doubled, as Wine's console
// wants it).
std::string kUnderWineToo(const std::string& typed) { return e2e::kUnderWine ? typed + "\x1b\x1b" : typed; }

const std::string kNotShown =
    "vantrel: standard output cannot be written, so the image and the warning were not shown: nothing was "
    "written to the board\n";

INSTANTIATE_TEST_SUITE_P(
    Flash, ConsentTest,
    testing::Values(
        // A terminal answers ESC [ 6 n and ESC [ c by typing a reply.
        ConsentCase{"ControlBytesInTheImageAreNotSent", "\x1b[6n\x1b[c\x07!", "?[6n?[c?!", "", {"\x1b"}, 3},
        ConsentCase{"ControlBytesInTheFileNameAreNotSent",
                    "",
                    "",
                    "",
                    {"\x1b"},
                    3,
                    0,
                    "",
                    {},
                    kNoSuchConsole,
                    "image\x1b[6n\x9b"
                    "6n.bin"},
        // A second Enter at the prompt, or a key pressed while the report
        // scrolled, is no answer to a warning not yet read.
        ConsentCase{"KeyTypedBeforeTheWarningIsDropped", "", "", "1\nk", {"\x1b"}, 3},
        ConsentCase{"KeyTypedAfterTheWarningCounts", "", "", "2\n", {"k", "k"}, 0, 2},
        // A cursor position report has the shape of a modified F3.
        // The Windows console takes such a reply itself and delivers no key:
        // the ESC behind it ends the wait there.
        ConsentCase{"CursorPositionReportIsNoConsent", "", "", "", {kUnderWineToo("\x1b[24;80R")}, 3},
        // Wine's console reads ESC [ from its terminal as a key of its own
        // (not ESC); a Windows console has no byte sequences to cut short.
        ConsentCase{"UnfinishedSequenceIsNoConsent", "", "", "", {"\x1b["}, 3, 0, "", {}, kNoSuchConsole},
        ConsentCase{"CtrlDIsEndOfInput", "", "", "", {"\x04"}, 3, 0, "", {}, kNoSuchConsole},
        // A Windows console delivers Ctrl+C as key 3 while a key is read.
        // Wine 8's console takes the byte from its terminal but hands no key
        // to the wait; the same answer is shown here with scripted input.
        ConsentCase{"CtrlCIsNoConsent",
                    "",
                    "",
                    "",
                    {},
                    3,
                    0,
                    "",
                    Piped("\x03"),
                    "Wine's console turns a typed Ctrl+C into no key at a key wait"},
        // The library's own open file takes descriptor 0 if it is free.
        ConsentCase{"StandardInputClosed",
                    "",
                    "",
                    "",
                    {},
                    3,
                    0,
                    "",
                    Started(Output::kCollected, true),
                    kNoSuchConsole},
        ConsentCase{"TerminalLeftNonBlocking",
                    "",
                    "",
                    "2\n",
                    {"k", "k"},
                    0,
                    2,
                    "",
                    Started(Output::kCollected, false, true),
                    kNoSuchConsole},
        ConsentCase{"StandardOutputFull", "", "", "", {}, 2, 0, kNotShown, Started(Output::kFull)},
        ConsentCase{"StandardOutputClosed",
                    "",
                    "",
                    "",
                    {},
                    2,
                    0,
                    kNotShown,
                    Started(Output::kClosed),
                    kNoSuchConsole},
        ConsentCase{"StandardOutputReaderGone",
                    "",
                    "",
                    "",
                    {},
                    2,
                    0,
                    kNotShown,
                    Started(Output::kReaderGone),
                    kNoSuchConsole}),
    e2e::CaseName());

}  // namespace
