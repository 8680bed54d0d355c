// The Windows build's own defences, shown under Wine: where the board
// library's dependencies come from, device names given as image files, and
// what a replaced file keeps.
#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/e2e/expected_output.h"
#include "testing/e2e/session.h"
#include "testing/e2e/work_folder.h"

namespace {

using e2e::kListed;
using e2e::kNoBoard;

// A dependency planted in the folder the operator runs the tool from is not
// loaded along with the board library; the one beside the library is.
TEST(WindowsLibraryTest, DependencyComesFromTheLibrarysFolder) {
  e2e::WorkFolder work;
  std::filesystem::create_symlink(SIMDEP_PLANTED_PATH, work.Path("simdep.dll"));
  work.RegisterLibrary(SIMBOARD_DEPENDENT_PATH);
  work.WriteScenario("");
  e2e::Session session(VANTREL_PATH, {"-x"}, work.Environment(), {.folder = work.Path("")});
  ASSERT_TRUE(session.PressKey("k"));
  const e2e::Ending ending = session.Finish();
  EXPECT_EQ(ending.output, kNoBoard);
  EXPECT_EQ(ending.status, 2);
  EXPECT_EQ(work.Journal().substr(0, work.Journal().find("CreateInterface")),
            "load\ndependency: beside the library\n");
}

// NUL, and any name whose stem is a device (nul.bin), opens as a device of
// no size: 128 bytes are asked of it, and it has none to give.
TEST(WindowsImageFileTest, DeviceNamesAreNoImage) {
  for (const std::string name : {"NUL", "nul.bin", "NUL:"}) {
    e2e::WorkFolder work;
    work.RegisterLibrary(SIMBOARD_PATH);
    work.WriteScenario("board 1 id=0x02014c31\n");
    e2e::Session session(VANTREL_PATH, {"-f", name}, work.Environment(), {.folder = work.Path("")});
    ASSERT_TRUE(session.PressKey("k")) << name;
    const e2e::Ending ending = session.Finish();
    EXPECT_EQ(ending.output, kListed + "Reading EEPROM data from file " + name +
                                 "...\nFile reading failed!\n\nPress any key to exit...")
        << name;
    EXPECT_EQ(ending.status, 2) << name;
    EXPECT_EQ(work.Journal().find("WriteFlash"), std::string::npos) << name;
  }
}

// Wine keeps a file's DOS attributes in this extended attribute, as "0x"
// and hexadecimal digits.
constexpr const char* kDosAttributes = "user.DOSATTRIB";
constexpr unsigned kHidden = 0x2;
constexpr unsigned kSystem = 0x4;

unsigned DosAttributes(const std::string& path) {
  char value[64] = {};
  const ssize_t length = getxattr(path.c_str(), kDosAttributes, value, sizeof value - 1);
  return length > 0 ? static_cast<unsigned>(std::strtoul(value, nullptr, 16)) : 0;
}

// A save over a hidden system file leaves a hidden system file with the new
// bytes. (The security descriptor and alternate streams that ReplaceFileA
// carries over have no form under Wine.)
TEST(WindowsSaveTest, ReplacedFileKeepsItsAttributes) {
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario("board 1 id=0x02014c31\n");
  work.Store("saved.bin", "old contents");
  const std::string path = work.Path("saved.bin");
  const std::string hidden_system = "0x6";
  if (setxattr(path.c_str(), kDosAttributes, hidden_system.data(), hidden_system.size(), 0) != 0)
    GTEST_SKIP() << "the file system of " << path << " keeps no user extended attributes";
  e2e::Session session(VANTREL_PATH, {"-s", path}, work.Environment());
  ASSERT_TRUE(session.PressKey("k"));
  const e2e::Ending ending = session.Finish();
  EXPECT_EQ(ending.status, 0) << ending.output;
  EXPECT_EQ(work.Contents("saved.bin").size(), 128u);
  EXPECT_EQ(DosAttributes(path) & (kHidden | kSystem), kHidden | kSystem);
}

// A save never goes to a device under a file's name (nul.bin, con.bin and
// aux.bin are the devices themselves): it is refused, and says so. NUL named
// bare is the one device a save may go to, to see a board's report only.
TEST(WindowsSaveTest, DeviceNamesAreNoSaveTarget) {
  for (const std::string name : {"nul.bin", "con.bin", "aux.bin", "NUL.", "CONOUT$", "COM1", "NUL"}) {
    e2e::WorkFolder work;
    work.RegisterLibrary(SIMBOARD_PATH);
    work.WriteScenario("board 1 id=0x02014c31\n");
    e2e::Session session(VANTREL_PATH, {"-s", name}, work.Environment(), {.folder = work.Path("")});
    ASSERT_TRUE(session.PressKey("k")) << name;
    const e2e::Ending ending = session.Finish();
    const bool bare_nul = name == "NUL";
    const std::string ending_line = bare_nul ? e2e::kSaved : "Couldn`t open file\n";
    EXPECT_NE(ending.output.find("Writing EEPROM data to file " + name + "...\n" + ending_line),
              std::string::npos)
        << name << ": " << ending.output;
    const std::string quoted = name == "CONOUT$" ? "CONOUT\\$" : name;
    e2e::ExpectExit(ending, bare_nul ? 0 : 2,
                    bare_nul ? "" : "vantrel: " + quoted + " names the device .*, not a file\n");
  }
}

// A save through a link replaces the link with the new file and leaves the
// file it pointed to (Wine's ReplaceFileA would delete that file).
TEST(WindowsSaveTest, SaveThroughALinkLosesNoFile) {
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario("board 1 id=0x02014c31\n");
  work.Store("target.bin", "old contents");
  std::filesystem::create_symlink("target.bin", work.Path("link.bin"));
  e2e::Session session(VANTREL_PATH, {"-s", work.Path("link.bin")}, work.Environment());
  ASSERT_TRUE(session.PressKey("k"));
  const e2e::Ending ending = session.Finish();
  EXPECT_EQ(ending.status, 0) << ending.output;
  EXPECT_EQ(work.Contents("link.bin").size(), 128u);
  EXPECT_EQ(work.Contents("target.bin"), "old contents");
}

// A library that ends the process with ExitProcess(0) inside a call: the
// program's TLS callback sees the process detach and ends it with the line
// and status 2.
TEST(WindowsLibraryTest, ExitProcessInACallIsAFailure) {
  if (e2e::kUnderWine)
    GTEST_SKIP() << "Wine 8 calls a program's TLS callbacks at process attach but not at its detach";
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario("crash ReadFlash exitprocess\nboard 1 id=0x02014c31\n");
  e2e::Session session(VANTREL_PATH, {"-s", work.Path("saved.bin")}, work.Environment());
  const e2e::Ending ending = session.Finish();
  e2e::ExpectExit(ending, 2, "vantrel: the board library ended the process in ReadFlash\n");
}

// A library built with __cdecl leaves its arguments on the stack after every
// call; the program puts its stack back and works as with a right one.
TEST(WindowsLibraryTest, WrongCallingConventionIsSurvived) {
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_CDECL_PATH);
  work.WriteScenario("board 1 id=0x02014c31 eeprom=" + work.Path("board.bin") + "\n");
  work.Store("board.bin", std::string(128, 'B'));
  work.Store("image.bin", std::string(128, 'I'));
  const std::vector<std::vector<std::string>> runs = {{"-f", work.Path("image.bin")},
                                                      {"-s", work.Path("saved.bin")}};
  for (const std::vector<std::string>& args : runs) {
    e2e::Session session(VANTREL_PATH, args, work.Environment());
    ASSERT_TRUE(session.AnswerAndPress(
        "", args[0] == "-f" ? std::vector<std::string>{"k", "k"} : std::vector<std::string>{"k"}));
    const e2e::Ending ending = session.Finish();
    e2e::ExpectExit(ending, 0);
  }
  EXPECT_EQ(work.Contents("board.bin"), std::string(128, 'I'));
  EXPECT_EQ(work.Contents("saved.bin"), std::string(128, 'I'));
}

}  // namespace

namespace {

// The Windows console reports key-ups: an Enter held down since the boards
// were found (its key-down records, no key-up) is no answer when it comes
// after the settle, however quiet the keyboard was before it.
TEST(WindowsConsentTest, ARepeatOfAKeyHeldFromBeforeIsNoConsent) {
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario("held InitDevice 0x0d\nboard 1 id=0x02014c31\n");
  work.Store("image.bin", std::string(128, 'I'));
  e2e::Session session(VANTREL_PATH, {"-f", work.Path("image.bin")}, work.Environment());
  ASSERT_TRUE(session.AnswerAndPress("", {"\n", "\x1b"}));
  e2e::ExpectExit(session.Finish(), 3);
  EXPECT_NE(work.Journal().find("holds key 0xd down"), std::string::npos) << work.Journal();
  EXPECT_EQ(work.Journal().find("WriteFlash"), std::string::npos) << work.Journal();
}

// Standard output on a pipe (`vantrel -f img.bin | findstr written`): the
// warning and the question are on the console's screen when a key writes.
TEST(WindowsConsentTest, TheQuestionIsOnTheConsoleWhenOutputIsAPipe) {
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario("screen " + work.Path("screen.txt") + "\nboard 1 id=0x02014c31\n");
  work.Store("image.bin", std::string(128, 'I'));
  e2e::Session session(VANTREL_PATH, {"-f", work.Path("image.bin")}, work.Environment());
  ASSERT_TRUE(session.AnswerAndPress("", {"k", "k"}));
  e2e::ExpectExit(session.Finish(), 0);
  EXPECT_NE(work.Contents("screen.txt")
                .find("!WARNING! EEPROM writing operation is irreversible! !WARNING!\n\n"
                      "Press ESC to abort writing operation or any other key to continue..."),
            std::string::npos)
      << work.Contents("screen.txt");
}

}  // namespace
