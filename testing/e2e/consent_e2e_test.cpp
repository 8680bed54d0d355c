// The confirmation of a flash under attack: nothing but a key that the
// operator pressed after the warning was on the screen writes the board.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "testing/e2e/expected_output.h"
#include "testing/e2e/session.h"
#include "testing/e2e/work_folder.h"

namespace {

using e2e::kConfirm;
using Output = e2e::SessionOptions::Output;

struct ConsentCase {
  const char* name;
  std::string extra = "";              // the image's Extra text
  std::string shown = "";              // its line in the report; "" when not checked
  std::string answer = "";             // typed at the prompt of two boards; "" for one board and no prompt
  std::vector<std::string> keys = {};  // each typed at a key wait
  int status = 0;
  int written_board = 0;  // the board WriteFlash reached; 0 for none
  std::string errors = "";
  e2e::SessionOptions options = {};
  // Why the case cannot run against the Windows build under Wine, if so.
  const char* not_under_wine = nullptr;
  std::string file_name = "image.bin";
  // Milliseconds after the answer that a second Enter comes; -1 for none.
  int late_enter_ms = -1;
  // How long Enter stays held after the answer: it repeats every 33 ms from
  // 250 ms on. 0 for none.
  int held_ms = 0;
  // Typed while the confirmation settles, before `keys`.
  std::string settling = "";
  // Typed as soon as the terminal takes keys: while the boards are found.
  std::string early = "";
  std::map<std::string, std::string> env = {};
};

void PrintTo(const ConsentCase& c, std::ostream* out) { *out << c.name; }

class ConsentTest : public testing::TestWithParam<ConsentCase> {};

TEST_P(ConsentTest, OnlyAKeyPressedAfterTheWarningWrites) {
  const ConsentCase& c = GetParam();
  if (c.not_under_wine != nullptr && e2e::kUnderWine) GTEST_SKIP() << c.not_under_wine;
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.Store("keys.txt", "kkkk");
  work.WriteScenario("hold " + work.Path("keys.txt") + "\nboard 1" + (c.answer.empty() ? "" : "-2") +
                     " id=0x02014c31\n");
  const std::string image = std::string(88, 'I') + c.extra + std::string(40 - c.extra.size(), '\0');
  work.Store(c.file_name, image);

  std::map<std::string, std::string> env = work.Environment();
  env.insert(c.env.begin(), c.env.end());
  e2e::Session session(VANTREL_PATH, {"-f", work.Path(c.file_name)}, env, c.options);
  if (!c.early.empty()) session.Type(c.early);
  ASSERT_TRUE(session.AnswerAndPress(c.answer, {}));
  if (c.late_enter_ms >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(c.late_enter_ms));
    session.Type("\n");
  }
  if (c.held_ms > 0) {
    const auto pressed = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    while (std::chrono::steady_clock::now() - pressed < std::chrono::milliseconds(c.held_ms)) {
      session.Type("\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
  }
  if (!c.settling.empty()) {
    ASSERT_TRUE(session.TypeWhileSettling(c.settling)) << session.output();
  }
  ASSERT_TRUE(session.AnswerAndPress("", c.keys));
  const e2e::Ending ending = session.Finish();
  e2e::ExpectExit(ending, c.status, c.errors);
  if (c.options.output == Output::kCollected) {
    EXPECT_NE(ending.output.find(kConfirm), std::string::npos) << ending.output;
  }
  // Nothing the program prints can make a terminal answer.
  EXPECT_EQ(ending.output.find('\x1b'), std::string::npos) << ending.output;
  if (!c.shown.empty()) {
    EXPECT_NE(ending.output.find("\nExtra: " + c.shown + "\n"), std::string::npos) << ending.output;
  }
  const std::string journal = work.Journal();
  const std::size_t write = journal.find("WriteFlash(board ");
  if (c.written_board == 0) {
    EXPECT_EQ(write, std::string::npos) << journal;
  } else {
    EXPECT_EQ(journal.find("WriteFlash(board " + std::to_string(c.written_board) + ","), write) << journal;
  }
}

const char* const kNoSuchConsole = "no such terminal or descriptor on the Windows console";
const char* const kTerminalSettle = "the settle of a POSIX terminal, told by its VMIN";

const std::string& kNotShown = e2e::kOutputNotShown;

INSTANTIATE_TEST_SUITE_P(
    Flash, ConsentTest,
    testing::Values(
        // A terminal answers ESC [ 6 n and ESC [ c by typing a reply.
        ConsentCase{.name = "ControlBytesInTheImageAreNotSent",
                    .extra = "\x1b[6n\x1b[c\x07!",
                    .shown = "?[6n?[c?!",
                    .keys = {"\x1b"},
                    .status = 3},
        ConsentCase{.name = "ControlBytesInTheFileNameAreNotSent",
                    .keys = {"\x1b"},
                    .status = 3,
                    .not_under_wine = kNoSuchConsole,
                    .file_name = "image\x1b[6n\x9b"
                                 "6n.bin"},
        // A second Enter at the prompt, or a key pressed while the report
        // scrolled, is no answer to a warning not yet read.
        ConsentCase{
            .name = "KeyTypedBeforeTheWarningIsDropped", .answer = "1\nk", .keys = {"\x1b"}, .status = 3},
        // A double Enter, key bounce, auto-repeat or a lagging link: the
        // second Enter comes after the warning is printed, but before
        // anybody can have read it.
        ConsentCase{.name = "SecondEnter5msLateIsDropped",
                    .answer = "2\n",
                    .keys = {"\x1b"},
                    .status = 3,
                    .late_enter_ms = 5},
        ConsentCase{.name = "SecondEnter100msLateIsDropped",
                    .answer = "2\n",
                    .keys = {"\x1b"},
                    .status = 3,
                    .late_enter_ms = 100},
        ConsentCase{.name = "SecondEnter400msLateIsDropped",
                    .answer = "2\n",
                    .keys = {"\x1b"},
                    .status = 3,
                    .late_enter_ms = 400},
        // U+201B is E2 80 9B in UTF-8: on a terminal that is not in UTF-8
        // mode its last byte is CSI, and the text makes it answer with
        // 8-bit controls. Shown text keeps no such byte where the locale is
        // not UTF-8, and a C1 control typed at the wait is ESC.
        ConsentCase{
            .name = "EightBitTerminalReplyIsNoConsent",
            .extra = "\xe2\x80\x9b"
                     "62;0\"p\xe2\x80\x9b"
                     "6n",
            .shown = "\xe2??62;0\"p\xe2??6n",
            .keys = {"\x9b"
                     "24;80R"},
            .status = 3,
            .not_under_wine = "Wine's console turns the terminal's bytes into keys of its own code page",
            .env = {{"LC_ALL", "C"}}},
        // Wine's console holds a lone ESC back and delivers it with the
        // next key as Alt+key; ESC and a key after it on a terminal are
        // an escape sequence of no known key.
        ConsentCase{.name = "EscapeThenAKeyIsNoConsent", .keys = {"\x1bk"}, .status = 3},
        // A C1 control typed in its UTF-8 form (a Windows console has it
        // as U+009B).
        ConsentCase{.name = "C1ControlIsNoConsent", .keys = {"\xc2\x9b"}, .status = 3},
        // An Enter held a little too long at the prompt: its repeats are no
        // answer, however long they go on.
        ConsentCase{.name = "EnterHeld600msIsDropped",
                    .answer = "2\n",
                    .keys = {"\x1b"},
                    .status = 3,
                    .held_ms = 600},
        ConsentCase{.name = "EnterHeld1500msIsDropped",
                    .answer = "2\n",
                    .keys = {"\x1b"},
                    .status = 3,
                    .held_ms = 1500},
        // With one board there is no prompt to take it: a key typed while
        // the boards are found is thrown away all the same.
        ConsentCase{.name = "KeyTypedDuringDiscoveryIsDropped", .keys = {"\x1b"}, .status = 3, .early = "k"},
        // An operator who reads fast and presses ESC while the keyboard
        // settles has declined.
        ConsentCase{.name = "EscapeWhileSettlingDeclines",
                    .status = 3,
                    .not_under_wine = kTerminalSettle,
                    .settling = "\x1b"},
        // A C1 reply split after its first byte: no key sends a lone C2.
        ConsentCase{
            .name = "LoneC2IsNoConsent", .keys = {"\xc2"}, .status = 3, .not_under_wine = kNoSuchConsole},
        ConsentCase{.name = "KeyTypedAfterTheWarningCounts",
                    .answer = "2\n",
                    .keys = {"k", "k"},
                    .status = 0,
                    .written_board = 2},
        // A cursor position report has the shape of a modified F3.
        ConsentCase{
            .name = "CursorPositionReportIsNoConsent",
            .keys = {"\x1b[24;80R"},
            .status = 3,
            .not_under_wine = "Wine's console reads the report from its terminal as a plain F3 key record, "
                              "where a Windows console has no byte sequences at all"},
        // Wine's console reads ESC [ from its terminal as a key of its own
        // (not ESC); a Windows console has no byte sequences to cut short.
        ConsentCase{.name = "UnfinishedSequenceIsNoConsent",
                    .keys = {"\x1b["},
                    .status = 3,
                    .not_under_wine = kNoSuchConsole},
        ConsentCase{
            .name = "CtrlDIsEndOfInput", .keys = {"\x04"}, .status = 3, .not_under_wine = kNoSuchConsole},
        // A Windows console delivers Ctrl+C as key 3 while a key is read.
        // Wine 8's console takes the byte from its terminal but hands no key
        // to the wait; the same answer is shown here with scripted input.
        ConsentCase{.name = "CtrlCIsNoConsent",
                    .status = 3,
                    .options = {.terminal_input = false, .input = "\x03"},
                    .not_under_wine = "Wine's console turns a typed Ctrl+C into no key at a key wait"},
        // The library's own open file takes descriptor 0 if it is free.
        ConsentCase{.name = "StandardInputClosed",
                    .status = 3,
                    .options = {.input_closed = true},
                    .not_under_wine = kNoSuchConsole},
        ConsentCase{.name = "TerminalLeftNonBlocking",
                    .answer = "2\n",
                    .keys = {"k", "k"},
                    .status = 0,
                    .written_board = 2,
                    .options = {.input_non_blocking = true},
                    .not_under_wine = kNoSuchConsole},
        ConsentCase{.name = "StandardOutputFull",
                    .status = 2,
                    .errors = kNotShown,
                    .options = {.output = Output::kFull}},
        ConsentCase{.name = "StandardOutputClosed",
                    .status = 2,
                    .errors = kNotShown,
                    .options = {.output = Output::kClosed},
                    .not_under_wine = kNoSuchConsole},
        ConsentCase{.name = "StandardOutputReaderGone",
                    .status = 2,
                    .errors = kNotShown,
                    .options = {.output = Output::kReaderGone},
                    .not_under_wine = kNoSuchConsole}),
    e2e::CaseName());

}  // namespace

namespace {

// Keys from the terminal, standard output to a file or nowhere: the screen
// would stay blank while a key writes the board. The warning and the
// question reach the terminal too, before the key is read.
TEST(ConsentOnTerminalTest, TheQuestionReachesTheTerminalWhenOutputGoesElsewhere) {
  if (e2e::kUnderWine)
    GTEST_SKIP() << "Wine's console draws CONOUT$ on its terminal with its own cursor moves";
  for (const Output output : {Output::kNull, Output::kFile}) {
    e2e::WorkFolder work;
    work.RegisterLibrary(SIMBOARD_PATH);
    work.WriteScenario("board 1 id=0x02014c31\n");
    work.Store("image.bin", std::string(128, 'I'));
    e2e::Session session(VANTREL_PATH, {"-f", work.Path("image.bin")}, work.Environment(),
                         {.output = output, .output_file = work.Path("output.txt")});
    ASSERT_TRUE(session.PressKey(""));  // at the key wait, nothing typed yet
    const std::string shown = session.TerminalShown();
    EXPECT_NE(shown.find("!WARNING! EEPROM writing operation is irreversible! !WARNING!"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Press ESC to abort writing operation or any other key to continue..."),
              std::string::npos)
        << shown;
    session.Type("\x1b");
    e2e::ExpectExit(session.Finish(), 3);
    EXPECT_EQ(work.Journal().find("WriteFlash"), std::string::npos);
    if (output == Output::kFile) {
      EXPECT_NE(work.Contents("output.txt").find(kConfirm), std::string::npos);
    }
  }
}

}  // namespace
