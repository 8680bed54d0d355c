// The program from start to the end of board selection, run on simulated
// boards with keys typed on a terminal.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "testing/e2e/expected_output.h"
#include "testing/e2e/session.h"
#include "testing/e2e/work_folder.h"

namespace {

using e2e::kLoaded;
using e2e::kNoBoard;
using e2e::kNotFound;
using e2e::kPressAnyKey;
using e2e::kPrompt;
using e2e::kSearch;
using e2e::kUsageScreen;

enum class Registry {
  kSimulated,
  kNoFile,
  kNoKey,
  kDword,
  kUnloadable,
  kNotALibrary,
  kNoFactory,
  kPath255,
  kPath256
};

struct Step {
  enum Kind { kKey, kAnswer, kNoProgress } kind;
  std::string bytes;
};
const Step kAnyKey{Step::kKey, "k"};

struct RunCase {
  const char* name;
  std::vector<std::string> args = {};
  Registry registry = Registry::kSimulated;
  std::string scenario = "";
  std::vector<Step> steps = {};
  std::string output;
  int status;
  std::string journal = "";  // "" when the library must never be loaded
  std::string errors = "";   // see e2e::ExpectExit
};

// A path of exactly `length` bytes to the simulated library as the registry
// names it (under Wine with the drive in front).
std::string LibraryPathOfLength(const e2e::WorkFolder& work, std::size_t length) {
  const std::string link = work.Path("sim.so");
  if (!std::filesystem::exists(link)) std::filesystem::create_symlink(SIMBOARD_PATH, link);
  const std::size_t drive = e2e::kUnderWine ? 2 : 0;
  return work.PathOfLength(length - drive, "sim.so");
}

void SetUpRegistry(e2e::WorkFolder& work, Registry registry) {
  switch (registry) {
    case Registry::kSimulated:
      return work.RegisterLibrary(SIMBOARD_PATH);
    case Registry::kNoFile:
      // Wine always has a registry: the key is there, the value is not.
      if (e2e::kUnderWine) work.WriteRegistry("");
      return;
    case Registry::kNoKey:
      return work.WriteRegistry("\"other\"=\"x\"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n");
    case Registry::kDword:
      return work.WriteRegistry("\"path\"=dword:00000001\r\n");
    case Registry::kUnloadable:
      return work.RegisterLibrary(work.Path("missing.so"));
    case Registry::kNotALibrary:
      work.Store("text.dll", "not a library\n");
      return work.RegisterLibrary(work.Path("text.dll"));
    case Registry::kNoFactory:
      return work.RegisterLibrary(NO_FACTORY_PATH);
    case Registry::kPath255:
      return work.RegisterLibrary(LibraryPathOfLength(work, 255));
    case Registry::kPath256:
      return work.RegisterLibrary(LibraryPathOfLength(work, 256));
  }
}

// Parameters are named by their case; their bytes say nothing.
void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }

class RunTest : public testing::TestWithParam<RunCase> {};

TEST_P(RunTest, PrintsExactlyAndEndsAsExpected) {
  const RunCase& c = GetParam();
  for (const Step& step : c.steps) {
    if (e2e::kUnderWine && step.bytes == "\x04") GTEST_SKIP() << "Wine's console has no key that ends input";
  }
  e2e::WorkFolder work;
  SetUpRegistry(work, c.registry);
  work.WriteScenario(c.scenario);
  e2e::Session session(VANTREL_PATH, c.args, work.Environment());
  for (const Step& step : c.steps) {
    switch (step.kind) {
      case Step::kKey:
        ASSERT_TRUE(session.PressKey(step.bytes)) << "no key wait; output so far:\n" << session.output();
        break;
      case Step::kAnswer:
        ASSERT_TRUE(session.WaitForOutputEnding(kPrompt)) << session.output();
        session.Type(step.bytes);
        break;
      case Step::kNoProgress:
        session.Type(step.bytes);
        EXPECT_TRUE(session.StillRunningAfter(300));
        EXPECT_EQ(session.output().substr(session.output().size() - kPrompt.size()), kPrompt);
        break;
    }
  }
  const e2e::Ending ending = session.Finish();
  EXPECT_EQ(ending.output, c.output);
  e2e::ExpectExit(ending, c.status, c.errors);
  if (c.journal.empty()) {
    EXPECT_FALSE(work.HasJournal()) << work.Journal();
  } else {
    EXPECT_EQ(work.Journal(), c.journal);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Usage, RunTest,
    testing::Values(
        RunCase{.name = "NoArguments", .steps = {kAnyKey}, .output = kUsageScreen, .status = 1},
        RunCase{.name = "ShortFlashWithoutFile",
                .args = {"-f"},
                .steps = {kAnyKey},
                .output = kUsageScreen,
                .status = 1},
        // Keys on the Windows console: no flow control at a key wait.
        RunCase{.name = "CtrlSIsAKey", .steps = {{Step::kKey, "\x13"}}, .output = kUsageScreen, .status = 1},
        RunCase{.name = "LongFlashWithoutFileAndEscape",
                .args = {"--flash"},
                .steps = {{Step::kKey, "\x1b"}},
                .output = kUsageScreen,
                .status = 1}),
    e2e::CaseName());

// The library is not found: one fixed line on standard output, the reason
// on standard error, exit status 2.
RunCase NotFound(const char* name, Registry registry, const std::string& why) {
  return RunCase{.name = name,
                 .args = {"-x"},
                 .registry = registry,
                 .steps = {kAnyKey},
                 .output = kNotFound,
                 .status = 2,
                 .errors = "vantrel: " + why + "\n"};
}

INSTANTIATE_TEST_SUITE_P(
    Binding, RunTest,
    testing::Values(
        NotFound("NoRegistryFile", Registry::kNoFile,
                 e2e::kUnderWine
                     ? "registry value \"path\" of HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Quenby.*PLX9080: .*"
                     : "registry file .*/registry.reg: No such file or directory"),
        NotFound("NoKey", Registry::kNoKey,
                 e2e::kUnderWine
                     ? "registry value \"path\" of .*PLX9080: .*"
                     : "registry file .*: the value \"path\" of "
                       "HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Quenby\\\\Ferrule\\\\1.0\\\\PLX9080 is missing"),
        NotFound("DwordValue", Registry::kDword,
                 "(registry file .*: the|registry) value \"path\" of .*PLX9080 is not a string"),
        NotFound("Unloadable", Registry::kUnloadable,
                 "(.*missing.so: cannot open shared object file: No such file or directory|cannot load "
                 ".*missing.so: .*)"),
        // The system's text names the file where it has a place for it.
        NotFound("NotALibrary", Registry::kNotALibrary,
                 e2e::kUnderWine ? "cannot load (.*)text\\.dll: [^%]*\\1[^%]*" : ".*text\\.dll: .*"),
        NotFound("NoFactoryExport", Registry::kNoFactory,
                 ".*simboard_no_factory.* does not export StaticFactory"),
        NotFound("PathTooLongForTheBuffer", Registry::kPath256,
                 "(registry file .*: the|registry) value \"path\" of .*PLX9080 is (256 bytes long, at most "
                 "255 fit|longer than 255 bytes)"),
        RunCase{.name = "PathFillingTheBuffer",
                .args = {"-x"},
                .registry = Registry::kPath255,
                .steps = {kAnyKey},
                .output = kNoBoard,
                .status = 2,
                .journal = kLoaded + "InitDevice(\"\", 1) = 0\n"},
        RunCase{
            .name = "FactoryReturnsNull",
            .args = {"-x"},
            .scenario = "factory null\n",
            .steps = {kAnyKey},
            .output = "IPLX9080 interface was not created!\n" + kPressAnyKey,
            .status = 2,
            .journal = "load\nCreateInterface(\"IPLX9080\", 0) = null\n",
            .errors = "vantrel: the board library's factory made no board interface; the registry may name "
                      "a library that is not this board's\n"}),
    e2e::CaseName());

// The registry names the library by a path that, from the folder the
// program runs in, leads to the simulated library: only a full path or a
// bare name that the system's own search finds may load it.
struct LibraryPathCase {
  const char* name;
  std::string path;  // "$B" stands for the run's folder
  bool loads;
  std::string errors;  // see e2e::ExpectExit
};

void PrintTo(const LibraryPathCase& c, std::ostream* out) { *out << c.name; }

class LibraryPathTest : public testing::TestWithParam<LibraryPathCase> {};

TEST_P(LibraryPathTest, OnlyAFullPathOrTheSystemsSearchLoads) {
  const LibraryPathCase& c = GetParam();
  e2e::WorkFolder work;
  std::filesystem::create_directory(work.Path("lib"));
  // Under Wine a planted copy waits in the current folder as well.
  for (const std::string name : {"lib/sim.so", "lib/sim.dll", "sim.dll"})
    std::filesystem::create_symlink(SIMBOARD_PATH, work.Path(name));
  std::string path = c.path;
  if (path.find("$B") != std::string::npos) {
    std::string windows_folder = work.Path("");
    for (char& ch : windows_folder) ch = ch == '/' ? '\\' : ch;
    path.replace(path.find("$B"), 2, windows_folder);
  }
  work.RegisterLibrary(path);
  work.WriteScenario("");
  std::map<std::string, std::string> env = work.Environment();
  env["LD_LIBRARY_PATH"] = work.Path("lib");
  e2e::Session session(VANTREL_PATH, {"-x"}, env, {.folder = work.Path("")});
  ASSERT_TRUE(session.PressKey("k"));
  const e2e::Ending ending = session.Finish();
  EXPECT_EQ(ending.output, c.loads ? kNoBoard : kNotFound);
  e2e::ExpectExit(ending, 2, c.errors);
  EXPECT_EQ(work.HasJournal(), c.loads);
}

LibraryPathCase Relative(const char* name, const std::string& path) {
  return LibraryPathCase{name, path, false,
                         "vantrel: cannot load .*sim\\.(so|dll): a relative path would be looked up from the "
                         "current folder\n"};
}

std::vector<LibraryPathCase> LibraryPathCases() {
  if (e2e::kUnderWine) {
    return {Relative("FolderRelative", "lib\\sim.dll"), Relative("DriveRelative", "Z:lib\\sim.dll"),
            Relative("RootRelative", "$Blib\\sim.dll"),
            // The copy planted in the current folder is not found.
            LibraryPathCase{"BareNameNotFromTheCurrentFolder", "sim.dll", false,
                            "vantrel: cannot load sim\\.dll: .*\n"}};
  }
  return {Relative("FolderRelative", "lib/sim.so"), Relative("DotRelative", "./lib/sim.so"),
          LibraryPathCase{"BareNameFromTheSearchPath", "sim.so", true, ""}};
}

INSTANTIATE_TEST_SUITE_P(LibraryPath, LibraryPathTest, testing::ValuesIn(LibraryPathCases()),
                         e2e::CaseName());

const std::string kThreeBoards = "board 1 id=0x02014c31\nboard 2 id=0x80014c31\nboard 3 id=0x12345678\n";
const std::string kThreeListed = kSearch +
                                 "[1] AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]\n"
                                 "[2] AQ-816X (1 GSPS, 8 bit, rev. 1) [id=0x80014c31]\n"
                                 "[3] Unknown device [id=0x12345678]\n" +
                                 kPrompt + kPressAnyKey;
const std::string kThreeJournal = kLoaded +
                                  "InitDevice(\"\", 1) = 1\nQueryBoardId(5) = 0x2014c31\n"
                                  "InitDevice(\"\", 2) = 1\nQueryBoardId(5) = 0x80014c31\n"
                                  "InitDevice(\"\", 3) = 1\nQueryBoardId(5) = 0x12345678\n"
                                  "InitDevice(\"\", 4) = 0\n";

RunCase ThreeBoards(const char* name, std::vector<Step> answer) {
  answer.push_back(kAnyKey);
  return RunCase{.name = name,
                 .args = {"-x"},
                 .scenario = kThreeBoards,
                 .steps = answer,
                 .output = kThreeListed,
                 .status = 0,
                 .journal = kThreeJournal};
}

std::string ElevenJournal() {
  std::string journal = kLoaded;
  for (int board = 1; board <= 11; ++board) {
    journal += "InitDevice(\"\", " + std::to_string(board) + ") = 1\nQueryBoardId(5) = 0x0\n";
  }
  return journal + "InitDevice(\"\", 12) = 0\n";
}

INSTANTIATE_TEST_SUITE_P(
    Discovery, RunTest,
    testing::Values(
        RunCase{.name = "NoBoard",
                .args = {"-x"},
                .steps = {kAnyKey},
                .output = kNoBoard,
                .status = 2,
                .journal = kLoaded + "InitDevice(\"\", 1) = 0\n"},
        RunCase{.name = "OneBoardNoPrompt",
                .args = {"-x"},
                .scenario = "board 1 id=0x020252a7\n",
                .steps = {kAnyKey},
                .output = kSearch + "[1] SG-214 (160 MSPS, 14 bit, rev. 1) [id=0x20252a7]\n" + kPressAnyKey,
                .status = 0,
                .journal = kLoaded +
                           "InitDevice(\"\", 1) = 1\nQueryBoardId(5) = 0x20252a7\nInitDevice(\"\", 2) = 0\n"},
        RunCase{
            .name = "StopsAtTheFirstGap",
            .args = {"-x"},
            .scenario = "board 1 id=0\nboard 3 id=0\n",
            .steps = {kAnyKey},
            .output = kSearch + "[1] Unknown device [id=0x0]\n" + kPressAnyKey,
            .status = 0,
            .journal = kLoaded + "InitDevice(\"\", 1) = 1\nQueryBoardId(5) = 0x0\nInitDevice(\"\", 2) = 0\n"},
        RunCase{.name = "InitDeviceTwoStillListed",
                .args = {"--save", "x.bin"},
                .scenario = "board 1 id=0x01010e19 init=2\n",
                .steps = {kAnyKey},
                .output = kSearch + "[1] DX-64 digital I/O [id=0x1010e19]\n" +
                          "Reading EEPROM data from device...\nm_pci->InitDevice failed!\n" + kPressAnyKey,
                .status = 2,
                .journal = kLoaded +
                           "InitDevice(\"\", 1) = 2\nQueryBoardId(5) = 0x1010e19\nInitDevice(\"\", 2) = 0\n" +
                           "InitDevice(\"\", 1) = 2\n"},
        RunCase{.name = "ElevenBoardsNumberedInDecimal",
                .args = {"-x"},
                .scenario = "board 1-11 id=0\n",
                .steps = {{Step::kAnswer, "11\n"}, kAnyKey},
                .output = e2e::ListingOf(11, "Unknown device [id=0x0]") + kPressAnyKey,
                .status = 0,
                .journal = ElevenJournal()}),
    e2e::CaseName());

INSTANTIATE_TEST_SUITE_P(Selection, RunTest,
                         testing::Values(ThreeBoards("Two", {{Step::kAnswer, "2\n"}}),
                                         ThreeBoards("Seven", {{Step::kAnswer, "7\n"}}),
                                         ThreeBoards("Zero", {{Step::kAnswer, "0\n"}}),
                                         ThreeBoards("Letters", {{Step::kAnswer, "abc\n"}}),
                                         ThreeBoards("DigitsThenLetters", {{Step::kAnswer, "2abc\n"}}),
                                         ThreeBoards("Negative", {{Step::kAnswer, "-1\n"}}),
                                         ThreeBoards("BeyondThirtyTwoBits",
                                                     {{Step::kAnswer, "99999999999\n"}}),
                                         ThreeBoards("BlankLinesKeepWaiting", {{Step::kAnswer, ""},
                                                                               {Step::kNoProgress, "\n"},
                                                                               {Step::kNoProgress, "  \n"},
                                                                               {Step::kAnswer, "3\n"}}),
                                         ThreeBoards("EndOfInput", {{Step::kAnswer, "\x04"}})),
                         e2e::CaseName());

// Ctrl+C, a termination request or any other signal that ends the program
// at a key wait ends it by that signal, with the terminal's line editing
// and echo back on.
TEST(InterruptTest, SignalAtAKeyWaitRestoresTheTerminal) {
  if (e2e::kUnderWine) GTEST_SKIP() << e2e::kPosixSignalsOnly;
  for (const int signal_number :
       {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGRTMIN}) {
    e2e::WorkFolder work;
    e2e::Session session(VANTREL_PATH, {}, work.Environment());
    ASSERT_TRUE(session.InterruptAtKeyWait(signal_number));
    const e2e::Ending ending = session.Finish();
    EXPECT_FALSE(ending.exited);
    EXPECT_EQ(ending.signal, signal_number);
    EXPECT_EQ(session.TerminalSettings().c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO))
        << "signal " << signal_number;
  }
}

// A flood of SIGCONT while the program ends never leaves single-key mode
// behind: the restore is not undone by a late handler.
TEST(InterruptTest, ContinueSignalsWhileEndingLeaveTheTerminalRestored) {
  if (e2e::kUnderWine) GTEST_SKIP() << e2e::kPosixSignalsOnly;
  constexpr int kRuns = 100;
  int left_in_single_key_mode = 0;
  for (int run = 0; run < kRuns; ++run) {
    e2e::WorkFolder work;
    std::map<std::string, std::string> env = work.Environment();
    // LeakSanitizer stops the process at exit to look for leaks, and a
    // SIGCONT in that moment leaves it waiting forever: not this test's
    // business (every other test checks for leaks).
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    env["ASAN_OPTIONS"] = std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0";
    e2e::Session session(VANTREL_PATH, {}, env);
    ASSERT_TRUE(session.PressKey("k"));
    // The race is at the key press; the flood ends with the program, or
    // after a while (a sanitizer's exit may need the process quiet).
    const auto start = std::chrono::steady_clock::now();
    while (session.StillRunningAfter(0) &&
           std::chrono::steady_clock::now() - start < std::chrono::milliseconds(300))
      session.Signal(SIGCONT);
    session.Finish();
    if ((session.TerminalSettings().c_lflag & ICANON) == 0) ++left_in_single_key_mode;
  }
  EXPECT_EQ(left_in_single_key_mode, 0) << "of " << kRuns << " runs";
}

// A stopped program finds its terminal as the shell left it; continued, it
// goes on reading single keys.
TEST(InterruptTest, ContinuedAfterAStopWaitsForASingleKeyAgain) {
  if (e2e::kUnderWine) GTEST_SKIP() << e2e::kPosixSignalsOnly;
  e2e::WorkFolder work;
  e2e::Session session(VANTREL_PATH, {}, work.Environment());
  ASSERT_TRUE(session.PressKey(""));
  struct termios line_mode = session.TerminalSettings();
  session.Signal(SIGSTOP);
  line_mode.c_lflag |= ICANON | ECHO;
  session.SetTerminalSettings(line_mode);
  session.Signal(SIGCONT);
  ASSERT_TRUE(session.PressKey("k"));
  const e2e::Ending ending = session.Finish();
  e2e::ExpectExit(ending, 1);
}

// Without a terminal the answer and the keys come from the same input, and
// its end ends every key wait at once.
TEST(ScriptedInputTest, EndOfInputEndsTheKeyWait) {
  for (const std::string input : {"", "2\n"}) {
    e2e::WorkFolder work;
    work.RegisterLibrary(SIMBOARD_PATH);
    work.WriteScenario(kThreeBoards);
    e2e::Session session(VANTREL_PATH, {"-x"}, work.Environment(), {.terminal_input = false, .input = input});
    const e2e::Ending ending = session.Finish();
    EXPECT_EQ(ending.output, kThreeListed);
    e2e::ExpectExit(ending, 0);
  }
}

}  // namespace
