// A board library that crashes inside one of its operations, its load or its
// unload, or ends the process itself: the program says where, and whether
// the EEPROM may be half written or the file was saved, and ends at once
// with a failure's status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/e2e/expected_output.h"
#include "testing/e2e/session.h"
#include "testing/e2e/work_folder.h"

namespace {

using e2e::kConfirm;
using e2e::kListed;
using e2e::kSearch;

struct CrashCase {
  const char* name;
  std::string crash;  // the scenario's crash line: operation and kind
  std::vector<std::string> args;
  std::vector<std::string> keys;  // typed at key waits before the crash
  std::string output_end;         // what standard output ends with
  std::string errors;
  // Why the case cannot run against the Windows build under Wine, if so.
  const char* not_under_wine = nullptr;
};

// Windows' loader runs a library's initialiser and finaliser under its own
// exception handler: a fault in the first makes the load fail with the
// loader's error, and one in the second is swallowed.
const char* const kLoaderCatches =
    "Windows' loader catches a fault in a library's initialiser (the load then fails) or finaliser itself";

// quick_exit, SIGTRAP and SIGSYS are the POSIX side's; Windows has no
// SIGSYS, and its breakpoint exception goes to a debugger first.
const char* const kPosixOnly = "quick_exit, SIGTRAP and SIGSYS on POSIX";

void PrintTo(const CrashCase& c, std::ostream* out) { *out << c.name; }

class BoardCrashTest : public testing::TestWithParam<CrashCase> {};

TEST_P(BoardCrashTest, SaysWhereAndEndsWithoutAKeyWait) {
  const CrashCase& c = GetParam();
  if (e2e::kUnderWine && c.not_under_wine != nullptr) GTEST_SKIP() << c.not_under_wine;
  if (e2e::kUnderWine && c.crash.find(" stack") != std::string::npos && e2e::X86RunsEmulated()) {
    GTEST_SKIP() << "32-bit code runs through qemu-user here, which itself dies of the library's stack "
                    "overflow (\"uncaught target signal 11\") before Wine can raise it";
  }
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario("crash " + c.crash + "\nboard 1 id=0x02014c31 eeprom=" + work.Path("board.bin") + "\n");
  work.Store("board.bin", std::string(128, 'B'));
  work.Store("image.bin", std::string(128, 'I'));
  std::vector<std::string> args;
  for (const std::string& arg : c.args) {
    args.push_back(arg == "IMAGE" ? work.Path("image.bin") : arg == "SAVED" ? work.Path("saved.bin") : arg);
  }

  // A flash's crash comes after its confirmation, which is not the subject.
  const e2e::KeyInput input =
      c.args.front() == "-f" ? e2e::ScriptedOnLinux(c.keys) : e2e::KeyInput{e2e::SessionOptions(), c.keys};
  e2e::Session session(VANTREL_PATH, args, work.Environment(), input.options);
  ASSERT_TRUE(session.AnswerAndPress("", input.typed));
  const e2e::Ending ending = session.Finish();
  e2e::ExpectExit(ending, 2, c.errors);
  ASSERT_GE(ending.output.size(), c.output_end.size()) << ending.output;
  EXPECT_EQ(ending.output.substr(ending.output.size() - c.output_end.size()), c.output_end);
  const std::string operation = c.crash.substr(0, c.crash.find(' '));
  const std::string journal = work.Journal();
  EXPECT_EQ(journal.substr(journal.rfind('\n', journal.size() - 2) + 1), operation + " crashes\n") << journal;
  EXPECT_EQ(work.Contents("board.bin"), std::string(128, 'B'));
  // Only a save that got as far as its file's line has one.
  const bool saved = c.output_end.find(e2e::kSaved) != std::string::npos;
  EXPECT_EQ(work.Contents("saved.bin").size(), saved ? 128u : 0u);
}

std::string Failed(const std::string& operation) {
  return "vantrel: the board library failed in " + operation + "\n";
}
std::string Ended(const std::string& operation) {
  return "vantrel: the board library ended the process in " + operation + "\n";
}
// A Windows library with its own C++ runtime linked in has that runtime's
// std::terminate say its words before the program gets its turn.
std::string FailedByException(const std::string& operation) {
  const std::string runtime =
      "terminate called after throwing an instance of 'std::runtime_error'\n  what\\(\\):  simulated board "
      "failure\n";
  return (e2e::kUnderWine ? runtime : "") + Failed(operation);
}

INSTANTIATE_TEST_SUITE_P(
    Crash, BoardCrashTest,
    testing::Values(
        CrashCase{
            "CreateInterfaceAccess", "CreateInterface access", {"-x"}, {}, "", Failed("CreateInterface")},
        CrashCase{"CreateInterfaceException",
                  "CreateInterface exception",
                  {"-x"},
                  {},
                  "",
                  FailedByException("CreateInterface")},
        CrashCase{"CreateInterfaceCode", "CreateInterface code", {"-x"}, {}, "", Failed("CreateInterface")},
        CrashCase{"InitDeviceAtDiscovery", "InitDevice access", {"-x"}, {}, kSearch, Failed("InitDevice")},
        CrashCase{"InitDeviceStackOverflow", "InitDevice stack", {"-x"}, {}, kSearch, Failed("InitDevice")},
        CrashCase{
            "QueryBoardId", "QueryBoardId exception", {"-x"}, {}, kSearch, FailedByException("QueryBoardId")},
        CrashCase{"ReadFlash",
                  "ReadFlash code",
                  {"-s", "SAVED"},
                  {},
                  kListed + "Reading EEPROM data from device...\n",
                  Failed("ReadFlash")},
        CrashCase{"WriteFlash",
                  "WriteFlash access",
                  {"-f", "IMAGE"},
                  {"k"},
                  kConfirm + "Writing EEPROM...\n",
                  "vantrel: the board library failed in WriteFlash: the EEPROM may be partly written\n"},
        // A stack overflow reaches the crash line in every operation.
        CrashCase{"CreateInterfaceStackOverflow",
                  "CreateInterface stack",
                  {"-x"},
                  {},
                  "",
                  Failed("CreateInterface")},
        CrashCase{"ReadFlashStackOverflow",
                  "ReadFlash stack",
                  {"-s", "SAVED"},
                  {},
                  kListed + "Reading EEPROM data from device...\n",
                  Failed("ReadFlash")},
        CrashCase{"WriteFlashStackOverflow",
                  "WriteFlash stack",
                  {"-f", "IMAGE"},
                  {"k"},
                  kConfirm + "Writing EEPROM...\n",
                  "vantrel: the board library failed in WriteFlash: the EEPROM may be partly written\n"},
        // The library's initialiser and finaliser.
        CrashCase{"Load", "load access", {"-x"}, {}, "", Failed("loading the library"), kLoaderCatches},
        CrashCase{"UnloadAfterASave",
                  "unload access",
                  {"-s", "SAVED"},
                  {"k"},
                  e2e::kSaved + e2e::kPressAnyKey,
                  "vantrel: the board library failed in unloading the library: the file was saved\n",
                  kLoaderCatches},
        // exit() inside the library, with a status of success.
        CrashCase{"ExitInLoad", "load exit", {"-x"}, {}, "", Ended("loading the library")},
        CrashCase{"ExitInReadFlash",
                  "ReadFlash exit",
                  {"-s", "SAVED"},
                  {},
                  kListed + "Reading EEPROM data from device...\n",
                  Ended("ReadFlash")},
        CrashCase{"ExitInWriteFlash",
                  "WriteFlash exit",
                  {"-f", "IMAGE"},
                  {"k"},
                  kConfirm + "Writing EEPROM...\n",
                  "vantrel: the board library ended the process in WriteFlash: the EEPROM may be partly "
                  "written\n"},
        // quick_exit() runs a list of its own; a trap and a bad system call
        // are crashes.
        CrashCase{"QuickExitInReadFlash",
                  "ReadFlash quickexit",
                  {"-s", "SAVED"},
                  {},
                  kListed + "Reading EEPROM data from device...\n",
                  Ended("ReadFlash"),
                  kPosixOnly},
        CrashCase{"TrapInWriteFlash",
                  "WriteFlash trap",
                  {"-f", "IMAGE"},
                  {"k"},
                  kConfirm + "Writing EEPROM...\n",
                  "vantrel: the board library failed in WriteFlash: the EEPROM may be partly written\n",
                  kPosixOnly},
        CrashCase{"BadSystemCallInWriteFlash",
                  "WriteFlash sigsys",
                  {"-f", "IMAGE"},
                  {"k"},
                  kConfirm + "Writing EEPROM...\n",
                  "vantrel: the board library failed in WriteFlash: the EEPROM may be partly written\n",
                  kPosixOnly},
        CrashCase{"ExitInUnloadAfterASave",
                  "unload exit",
                  {"-s", "SAVED"},
                  {"k"},
                  e2e::kSaved + e2e::kPressAnyKey,
                  "vantrel: the board library ended the process in unloading the library: the file was "
                  "saved\n"}),
    e2e::CaseName());

// A library the system keeps loaded after it is freed (here: linked with
// -z nodelete; a C++ library with unique symbols is kept the same way) runs
// its finaliser only as the process ends: a crash there is still the
// library's, after a save that went well.
TEST(BoardCrashAtTheEndTest, ALibraryKeptLoadedCrashesInItsFinaliserAsTheProcessEnds) {
  if (e2e::kUnderWine) GTEST_SKIP() << kLoaderCatches;
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_RESIDENT_PATH);
  work.WriteScenario("crash unload access\nboard 1 id=0x02014c31\n");
  e2e::Session session(VANTREL_PATH, {"-s", work.Path("saved.bin")}, work.Environment());
  ASSERT_TRUE(session.PressKey("k"));
  const e2e::Ending ending = session.Finish();
  e2e::ExpectExit(ending, 2,
                  "vantrel: the board library failed in unloading the library: the file was saved\n");
  EXPECT_EQ(work.Contents("saved.bin").size(), 128u);
}

// A thread the library started may end the process, or crash, while the
// program is between calls: at the confirmation, after a failed write, after
// the result. The run still ends with a line naming the operation called
// last, the terminal restored, and a failure's status unless the result was
// already out.
struct ThreadCase {
  const char* name;
  std::string scenario;           // the thread's line and the board's settings
  std::vector<std::string> keys;  // typed before the thread acts
  std::string errors;
  int status;
};

void PrintTo(const ThreadCase& c, std::ostream* out) { *out << c.name; }

class LibraryThreadTest : public testing::TestWithParam<ThreadCase> {};

TEST_P(LibraryThreadTest, EndsTheRunWithALineWhateverTheProgramIsDoing) {
  const ThreadCase& c = GetParam();
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario(c.scenario + " " + work.Path("go") +
                     "\nboard 1 id=0x02014c31 eeprom=" + work.Path("board.bin") +
                     (c.name == std::string("ExitAfterAFailedWrite") ? " write=1" : "") + "\n");
  work.Store("board.bin", std::string(128, 'B'));
  work.Store("image.bin", std::string(128, 'I'));
  e2e::Session session(VANTREL_PATH, {"-f", work.Path("image.bin")}, work.Environment());
  ASSERT_TRUE(session.AnswerAndPress("", c.keys));
  // The program waits at the confirmation, or at the closing prompt.
  ASSERT_TRUE(c.keys.empty() ? session.PressKey("") : session.WaitForOutputEnding(e2e::kPressAnyKey));
  work.Store("go", "");
  const e2e::Ending ending = session.Finish();
  e2e::ExpectExit(ending, c.status, c.errors);
  if (!e2e::kUnderWine) {
    EXPECT_EQ(session.TerminalSettings().c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Crash, LibraryThreadTest,
    testing::Values(ThreadCase{"ExitAtTheConfirmation",
                               "thread InitDevice exit",
                               {},
                               "vantrel: the board library ended the process after InitDevice\n",
                               2},
                    ThreadCase{"CrashAtTheConfirmation",
                               "thread InitDevice access",
                               {},
                               "vantrel: the board library failed after InitDevice\n",
                               2},
                    ThreadCase{"ExitAfterAFailedWrite",
                               "thread WriteFlash exit",
                               {"k"},
                               "vantrel: the board library ended the process after WriteFlash\n",
                               2},
                    // The board was written and the operator told so: that status stays.
                    ThreadCase{"ExitAfterTheResult",
                               "thread WriteFlash exit",
                               {"k"},
                               "vantrel: the board library ended the process after WriteFlash\n",
                               0}),
    e2e::CaseName());

}  // namespace
