// Flashing and saving, run on simulated boards whose EEPROM lives in a file,
// with keys typed on a terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "testing/e2e/expected_output.h"
#include "testing/e2e/session.h"
#include "testing/e2e/work_folder.h"

namespace {

using e2e::kConfirm;
using e2e::kListed;
using e2e::kPressAnyKey;

// The EEPROM of the simulated board in register order: each byte of the
// first 88 holds its own offset, then the Extra text.
std::string BoardImage() {
  std::string image;
  for (int offset = 0; offset < 88; ++offset) image += static_cast<char>(offset);
  const std::string extra = "bench board";
  return image + extra + std::string(40 - extra.size(), '\0');
}

// The same image in file order: the halves of each 32-bit register exchanged.
std::string FileOrder(std::string image) {
  for (int offset : {12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60, 64, 72, 76, 80, 84}) {
    std::swap(image[offset], image[offset + 2]);
    std::swap(image[offset + 1], image[offset + 3]);
  }
  return image;
}

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (unsigned char byte : bytes) hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
  return hex;
}

const std::string kReport =
    "\n-------------------------------------\n"
    "Device ID: 0x0100\n"
    "Vendor ID: 0x0302\n"
    "Class Code: 0x0504\n"
    "Class Code, Revision: 0x0706\n"
    "Subsystem ID: 0x4544\n"
    "Subsystem Vendor ID: 0x4746\n"
    "Maximum Latency, Minimum Grant: 0x0908\n"
    "Interrupt Pin, Interrupt Line Routing: 0x0b0a\n"
    "Mailbox 0: 0x0f0e0d0c\n"
    "Mailbox 1: 0x13121110\n"
    "Range for PCI-to-Local Adr. Space 0: 0x17161514\n"
    "Local Base Address (Remap) for PCI-to-Local Address Space 0: 0x1b1a1918\n"
    "Local Arbitration Register: 0x1f1e1d1c\n"
    "Local Bus Big/Little Endian Descriptor Register: 0x23222120\n"
    "Range for PCI-to-Local Expansion ROM: 0x27262524\n"
    "Local Base Address (Remap) for PCI-to-Local Expansion ROM: 0x2b2a2928\n"
    "Bus Region Descriptors for PCI-to-Local Accesses: 0x2f2e2d2c\n"
    "Range for Direct Master to PCI: 0x33323130\n"
    "Local Base Address for Direct Master to PCI Memory: 0x37363534\n"
    "Local Bus Address for Direct Master to PCI IO/CFG: 0x3b3a3938\n"
    "PCI Base Address (Remap) for Direct Master to PCI: 0x3f3e3d3c\n"
    "PCI Configuration Address Register for Direct Master to PCI IO/CFG: 0x43424140\n"
    "Range for PCI-to-Local Address Space 1: 0x4b4a4948\n"
    "Local Base Address (Remap) for PCI-to-Local Address Space 1: 0x4f4e4d4c\n"
    "Bus Region Descriptors (Space 1) for PCI-to-Local accesses: 0x53525150\n"
    "PCI Base Address for Local Expansion ROM: 0x57565554\n"
    "Extra: bench board\n"
    "-------------------------------------\n\n";

// The report of an image whose fields all hold the same bytes.
std::string UniformReport(const std::string& byte_hex, const std::string& extra) {
  std::string report = std::regex_replace(kReport, std::regex("0x[0-9a-f]{8}\n"),
                                          "0x" + byte_hex + byte_hex + byte_hex + byte_hex + "\n");
  report = std::regex_replace(report, std::regex("0x[0-9a-f]{4}\n"), "0x" + byte_hex + byte_hex + "\n");
  return std::regex_replace(report, std::regex("Extra: .*\n"), "Extra: " + extra + "\n");
}

// "$B/" stands for the run's folder.
const std::string kScenario = "board 1 id=0x02014c31 eeprom=$B/board.bin";
const std::string kDiscovered =
    e2e::kLoaded + "InitDevice(\"\", 1) = 1\nQueryBoardId(5) = 0x2014c31\nInitDevice(\"\", 2) = 0\n";

const std::string kFlashLoaded =
    "Reading EEPROM data from file $B/image.bin...\nEEPROM data was loaded successfully.\nEEPROM data from "
    "file:\n";
const std::string kFlashed = kFlashLoaded + kReport + kConfirm + e2e::kFlashed;
const std::string kWritten = "InitDevice(\"\", 1) = 1\nWriteFlash(board 1, " + Hex(BoardImage()) + ") = 64\n";

const std::string kSaveRead = e2e::kDeviceRead + kReport + "Writing EEPROM data to file $B/saved.bin...\n";
const std::string kRead = "InitDevice(\"\", 1) = 1\nReadFlash(board 1) = 1\n";

const std::string kDirectory = "<directory>";
const std::string kAbsent = "<absent>";

struct ProcedureCase {
  const char* name;
  int status;  // 0 done, 2 failed, 3 declined at the confirmation
  std::vector<std::string> args;
  std::string scenario = "";                                     // after kScenario on its line
  std::string board = BoardImage();                              // the board's EEPROM at the start
  std::vector<std::pair<std::string, std::string>> before = {};  // files in the folder
  std::vector<std::string> keys = {};                            // each typed at a key wait
  // The keys go in as scripted input on Linux (e2e::ScriptedOnLinux).
  bool scripted_on_linux = false;
  std::string output;                                           // after the listing
  std::string journal = "";                                     // after discovery
  std::vector<std::pair<std::string, std::string>> after = {};  // files as the run leaves them
  e2e::SessionOptions session = {};
  std::string errors = "";  // all of standard error, as e2e::ExpectExit takes it
};

std::string InWorkFolder(std::string text, const e2e::WorkFolder& work) {
  for (std::size_t at = text.find("$B/"); at != std::string::npos; at = text.find("$B/", at)) {
    text.replace(at, 3, work.Path(""));
  }
  return text;
}

void PrintTo(const ProcedureCase& c, std::ostream* out) { *out << c.name; }

class ProcedureTest : public testing::TestWithParam<ProcedureCase> {};

TEST_P(ProcedureTest, PrintsWritesAndEndsAsExpected) {
  const ProcedureCase& c = GetParam();
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario(InWorkFolder(kScenario + c.scenario + "\n", work));
  work.Store("board.bin", c.board);
  for (const auto& [name, bytes] : c.before) {
    if (bytes == kDirectory) {
      std::filesystem::create_directory(work.Path(name));
    } else {
      work.Store(name, bytes);
    }
  }
  std::vector<std::string> args;
  for (const std::string& arg : c.args) args.push_back(InWorkFolder(arg, work));

  const e2e::KeyInput input =
      c.scripted_on_linux ? e2e::ScriptedOnLinux(c.keys, c.session) : e2e::KeyInput{c.session, c.keys};
  e2e::Session session(VANTREL_PATH, args, work.Environment(), input.options);
  ASSERT_TRUE(session.AnswerAndPress("", input.typed));
  const e2e::Ending ending = session.Finish();
  EXPECT_EQ(ending.output, kListed + InWorkFolder(c.output, work));
  e2e::ExpectExit(ending, c.status, InWorkFolder(c.errors, work));
  if (c.session.file_size_limit < 0) {
    EXPECT_EQ(work.Journal(), kDiscovered + c.journal);
  }
  for (const auto& [name, bytes] : c.after) {
    if (bytes == kAbsent) {
      EXPECT_FALSE(std::filesystem::exists(work.Path(name))) << name;
    } else {
      EXPECT_EQ(Hex(work.Contents(name)), Hex(bytes)) << name;
    }
  }
}

const std::string kImageFile = FileOrder(BoardImage());
// A board that holds something else than the image flashed, so that its
// file afterwards tells a write from none (erased EEPROM cells read 0xff;
// this is neither that nor zero).
const std::string kOtherBoard(128, '\xcc');

INSTANTIATE_TEST_SUITE_P(
    Flash, ProcedureTest,
    testing::Values(
        ProcedureCase{.name = "Letter",
                      .status = 0,
                      .args = {"-f", "$B/image.bin"},
                      .board = kOtherBoard,
                      .before = {{"image.bin", kImageFile}},
                      .keys = {"k", "k"},
                      .output = kFlashed,
                      .journal = kWritten,
                      .after = {{"board.bin", BoardImage()}}},
        ProcedureCase{.name = "Enter",
                      .status = 0,
                      .args = {"--flash=$B/image.bin"},
                      .before = {{"image.bin", kImageFile}},
                      .keys = {"\r", "k"},
                      .output = kFlashed,
                      .journal = kWritten},
        // The arrow's second code ends the closing wait.
        ProcedureCase{.name = "Arrow",
                      .status = 0,
                      .args = {"-f$B/image.bin"},
                      .before = {{"image.bin", kImageFile}},
                      .keys = {"\x1b[A"},
                      .output = kFlashed,
                      .journal = kWritten},
        ProcedureCase{.name = "EscapeEndsSilently",
                      .status = 3,
                      .args = {"-f", "$B/image.bin"},
                      .board = kOtherBoard,
                      .before = {{"image.bin", kImageFile}},
                      .keys = {"\x1b"},
                      .output = kFlashLoaded + kReport + kConfirm,
                      .after = {{"board.bin", kOtherBoard}}},
        ProcedureCase{.name = "EndOfInputIsNoConsent",
                      .status = 3,
                      .args = {"-f", "$B/image.bin"},
                      .before = {{"image.bin", kImageFile}},
                      .output = kFlashLoaded + kReport + kConfirm,
                      .session = {.terminal_input = false}},
        ProcedureCase{
            .name = "WriteFlashAnswersOne",
            .status = 2,
            .args = {"-f", "$B/image.bin"},
            .scenario = " write=1",
            .before = {{"image.bin", std::string(128, '\x11')}},
            .keys = {"k", "k"},
            .scripted_on_linux = true,
            .output = kFlashLoaded + UniformReport("11", std::string(40, '?')) + kConfirm +
                      "Writing EEPROM...\nm_pci->WriteFlash failed!\n" + kPressAnyKey,
            .journal = "InitDevice(\"\", 1) = 1\nWriteFlash(board 1, " + std::string(256, '1') + ") = 1\n"},
        ProcedureCase{.name = "InitDeviceTwoAtTheTransfer",
                      .status = 2,
                      .args = {"-f", "$B/image.bin"},
                      .scenario = " init=1,2",
                      .before = {{"image.bin", kImageFile}},
                      .keys = {"k", "k"},
                      .scripted_on_linux = true,
                      .output = kFlashLoaded + kReport + kConfirm +
                                "Writing EEPROM...\nm_pci->InitDevice failed!\n" + kPressAnyKey,
                      .journal = "InitDevice(\"\", 1) = 2\n"},
        ProcedureCase{
            .name = "MissingFile",
            .status = 2,
            .args = {"-f", "$B/missing.bin"},
            .keys = {"k"},
            .output = "Reading EEPROM data from file $B/missing.bin...\nCouldn`t open file $B/missing.bin\n\n"
                      "Press any key to exit...",
            .errors = e2e::WhyLine("$B/missing.bin", "No such file or directory", e2e::WindowsError(2))},
        ProcedureCase{
            .name = "Directory",
            .status = 2,
            .args = {"-f", "$B/image.bin"},
            .before = {{"image.bin", kDirectory}},
            .keys = {"k"},
            .output = "Reading EEPROM data from file $B/image.bin...\nCouldn`t open file $B/image.bin\n\n"
                      "Press any key to exit...",
            .errors = e2e::WhyLine("$B/image.bin", "Is a directory", e2e::WindowsError(5))},
        ProcedureCase{.name = "LongerFileGivesItsFirst128Bytes",
                      .status = 0,
                      .args = {"-f", "$B/image.bin"},
                      .before = {{"image.bin", kImageFile + std::string(72, 'x')}},
                      .keys = {"k", "k"},
                      .scripted_on_linux = true,
                      .output = kFlashed,
                      .journal = kWritten,
                      .errors = e2e::SizeLine("$B/image.bin", 200)},
        // Bytes 100 to 127 stay zero: the Extra text ends after 12 bytes.
        ProcedureCase{
            .name = "ShorterFileLeavesTheRestZero",
            .status = 3,
            .args = {"-f", "$B/image.bin"},
            .before = {{"image.bin", std::string(100, 'A')}},
            .keys = {"\x1b"},
            .scripted_on_linux = true,
            .output = "Reading EEPROM data from file $B/image.bin...\nEEPROM data was loaded successfully.\n"
                      "EEPROM data from file:\n" +
                      UniformReport("41", std::string(12, 'A')) + kConfirm,
            .errors = e2e::SizeLine("$B/image.bin", 100)},
        ProcedureCase{
            .name = "EmptyFileLoads",
            .status = 3,
            .args = {"-f", "$B/image.bin"},
            .before = {{"image.bin", ""}},
            .keys = {"\x1b"},
            .scripted_on_linux = true,
            .output = "Reading EEPROM data from file $B/image.bin...\nEEPROM data was loaded successfully.\n"
                      "EEPROM data from file:\n" +
                      UniformReport("00", "") + kConfirm,
            .errors = e2e::SizeLine("$B/image.bin", 0)},
        ProcedureCase{.name = "FlashWinsOverSave",
                      .status = 0,
                      .args = {"-f", "$B/image.bin", "-s", "$B/saved.bin"},
                      .before = {{"image.bin", kImageFile}},
                      .keys = {"k", "k"},
                      .scripted_on_linux = true,
                      .output = kFlashed,
                      .journal = kWritten,
                      .after = {{"saved.bin", kAbsent}}}),
    e2e::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Save, ProcedureTest,
    testing::Values(ProcedureCase{.name = "NewFileInFileOrder",
                                  .status = 0,
                                  .args = {"-s", "$B/saved.bin"},
                                  .keys = {"k"},
                                  .output = kSaveRead + e2e::kSaved + kPressAnyKey,
                                  .journal = kRead,
                                  .after = {{"saved.bin", kImageFile}}},
                    ProcedureCase{.name = "ReplacesAFile",
                                  .status = 0,
                                  .args = {"--save", "$B/saved.bin"},
                                  .before = {{"saved.bin", std::string(300, 'o')}},
                                  .keys = {"k"},
                                  .output = kSaveRead + e2e::kSaved + kPressAnyKey,
                                  .journal = kRead,
                                  .after = {{"saved.bin", kImageFile}}},
                    ProcedureCase{.name = "MissingFolder",
                                  .status = 2,
                                  .args = {"-s", "$B/missing/saved.bin"},
                                  .keys = {"k"},
                                  .output = std::regex_replace(kSaveRead, std::regex("saved.bin"),
                                                               "missing/saved.bin") +
                                            "Couldn`t open file\n" + kPressAnyKey,
                                  .journal = kRead,
                                  .errors = e2e::WhyLine("$B/missing/saved.bin", "No such file or directory",
                                                         e2e::WindowsError(3))},
                    // The journal goes to a device, which no file size limit stops.
                    ProcedureCase{.name = "DiskFullKeepsTheOldFile",
                                  .status = 2,
                                  .args = {"-s", "$B/saved.bin"},
                                  .scenario = "\njournal /dev/null",
                                  .before = {{"saved.bin", "old contents"}},
                                  .keys = {"k"},
                                  .output = kSaveRead + "Error write file\n" + kPressAnyKey,
                                  .after = {{"saved.bin", "old contents"}},
                                  .session = {.file_size_limit = 100},
                                  .errors = e2e::WhyLine("$B/saved.bin", "File too large",
                                                         "100 of 128 bytes were written")},
                    ProcedureCase{.name = "ReadFlashFails",
                                  .status = 2,
                                  .args = {"-s", "$B/saved.bin"},
                                  .scenario = " read=0",
                                  .keys = {"k"},
                                  .output = "Reading EEPROM data from device...\nm_pci->ReadFlash failed!\n" +
                                            kPressAnyKey,
                                  .journal = "InitDevice(\"\", 1) = 1\nReadFlash(board 1) = 0\n",
                                  .after = {{"saved.bin", kAbsent}}}),
    e2e::CaseName());

// What a save reads from one board, a flash of that file writes into another.
TEST(RoundTripTest, FlashingASavedFileWritesBackTheBytesRead) {
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario(InWorkFolder("board 1 eeprom=$B/one.bin\nboard 2 eeprom=$B/two.bin\n", work));
  work.Store("one.bin", BoardImage());
  work.Store("two.bin", std::string(128, '\0'));
  const std::string saved = work.Path("saved.bin");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-s", saved}, {"-f", saved}}) {
    e2e::Session session(VANTREL_PATH, args, work.Environment());
    ASSERT_TRUE(session.WaitForOutputEnding("Select device to work with: "));
    session.Type(args[0] == "-s" ? "1\n" : "2\n");
    if (args[0] == "-f") {
      ASSERT_TRUE(session.PressKey("k"));
    }
    ASSERT_TRUE(session.PressKey("k"));
    EXPECT_TRUE(session.Finish().exited);
  }
  EXPECT_EQ(Hex(work.Contents("two.bin")), Hex(BoardImage()));
  EXPECT_NE(work.Journal().find("WriteFlash(board 2, " + Hex(BoardImage()) + ") = 64"), std::string::npos);
}

// A save whose report goes nowhere (standard output full, or a pipe nobody
// reads, with SIGPIPE at its default as a shell leaves it: `| head -2`)
// still writes its file, and ends as a failure that says so.
TEST(SaveReportTest, ASaveNobodySawEndsAsAFailureWithTheFileSaved) {
  using Output = e2e::SessionOptions::Output;
  for (const Output output : {Output::kFull, Output::kReaderGone}) {
    // Wine's console has no pipe whose reader has gone.
    if (e2e::kUnderWine && output == Output::kReaderGone) continue;
    e2e::WorkFolder work;
    work.RegisterLibrary(SIMBOARD_PATH);
    work.WriteScenario(InWorkFolder("board 1 eeprom=$B/board.bin\n", work));
    work.Store("board.bin", BoardImage());
    e2e::Session session(VANTREL_PATH, {"-s", work.Path("saved.bin")}, work.Environment(),
                         {.output = output});
    const e2e::Ending ending = session.Finish();
    e2e::ExpectExit(ending, 2,
                    "vantrel: the report could not be written to standard output \\(the file was saved\\)\n");
    EXPECT_EQ(Hex(work.Contents("saved.bin")), Hex(kImageFile));
  }
}

// A flash whose reader goes away after the answer (`| head -40`) writes the
// board, and says on standard error that the result went unseen.
TEST(FlashResultTest, AResultNobodySawEndsAsAFailureThatSaysTheBoardWasWritten) {
  if (e2e::kUnderWine) GTEST_SKIP() << "Wine's console has no pipe whose reader has gone";
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario(InWorkFolder("board 1 eeprom=$B/board.bin\n", work));
  work.Store("board.bin", std::string(128, '\xcc'));
  work.Store("image.bin", kImageFile);
  e2e::Session session(VANTREL_PATH, {"-f", work.Path("image.bin")}, work.Environment());
  ASSERT_TRUE(session.PressKey(""));
  session.CloseOutput();
  session.Type("k");
  e2e::ExpectExit(
      session.Finish(), 2,
      "vantrel: the result could not be written to standard output \\(the board was written\\)\n");
  EXPECT_NE(work.Journal().find(") = 64"), std::string::npos) << work.Journal();
}

}  // namespace
