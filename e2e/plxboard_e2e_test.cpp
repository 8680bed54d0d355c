// The tool with the open board library (libplxboard.so) on a fake sysfs tree,
// the bridges and their EEPROMs played by the software model behind the
// library's register-bus plug-in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/expected_output.h"
#include "e2e/session.h"
#include "e2e/workbench.h"

namespace {

using e2e::kPressAnyKey;
using e2e::kPrompt;
using e2e::kSearch;

const std::string kBoardA = "0000:03:00.0";
const std::string kListing = kSearch +
                             "[1] AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]\n"
                             "[2] SG-214 (160 MSPS, 14 bit, rev. 1) [id=0x20152a7]\n" +
                             kPrompt;

// The EEPROM's words, little-endian: word i holds 0x0100 * i + 0x11.
std::string Words(int changed_word = -1) {
  std::string bytes;
  for (int word = 0; word < 64; ++word) {
    const int value = word == changed_word ? 0xBEEF : 0x0100 * word + 0x11;
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8);
  }
  return bytes;
}

class PlxBoardTest : public testing::Test {
 protected:
  void SetUp() override {
    bench_.RegisterLibrary(PLXBOARD_PATH);
    bench_.Store("plx-ids", "# our boards\n1e4a:0001\n");
    std::filesystem::create_directories(bench_.Path("model"));
    AddFunction(kBoardA, "0x10b5", "0x9054", 0x02014c31, "");
    AddFunction("0000:04:00.0", "0x1e4a", "0x0001", 0x020152a7, "address-bits 8\n");
    AddFunction("0000:05:00.0", "0x8086", "0x1234", 0, "");                 // not listed: never opened
    AddFunction("0000:06:00.0", "0x1e4a", "0x0001", 0, "id 0x12345678\n");  // listed, but no PLX inside
    std::filesystem::remove(bench_.Path("model/0000:05:00.0.eeprom"));
  }

  // A PCI function as sysfs shows it, with memory decoding on and a 512-byte
  // memory BAR0, and its bridge model.
  void AddFunction(const std::string& name, const char* vendor, const char* device, unsigned subsystem,
                   const std::string& model) {
    const std::string folder = "sys/bus/pci/devices/" + name;
    std::filesystem::create_directories(bench_.Path(folder));
    bench_.Store(folder + "/vendor", std::string(vendor) + "\n");
    bench_.Store(folder + "/device", std::string(device) + "\n");
    bench_.Store(folder + "/resource", "0x00000000f7e00000 0x00000000f7e001ff 0x0000000000040200\n");
    std::string config(256, '\0');
    config[4] = 0x07;
    for (int i = 0; i < 4; ++i) config[0x2C + i] = static_cast<char>(subsystem >> (8 * i));
    bench_.Store(folder + "/config", config);
    bench_.Store("model/" + name + ".eeprom", Words());
    bench_.Store("model/" + name + ".model", model);
  }

  // One run on board 1; `keys` typed at the key waits.
  e2e::Ending Run(const std::vector<std::string>& args, const std::vector<std::string>& keys) {
    std::map<std::string, std::string> env = bench_.Environment();
    // An installed tool reads the registry file it was installed with.
    if (program_ != VANTREL_PATH) env["VANTREL_REGISTRY"] = "";
    env["VANTREL_SYSFS"] = bench_.Path("sys");
    env["VANTREL_PLX_IDS"] = bench_.Path("plx-ids");
    env["VANTREL_PLX_BUS"] = PLXMODEL_BUS_PATH;
    env["PLXMODEL_DIR"] = bench_.Path("model");
    e2e::Session session(program_, args, env);
    EXPECT_TRUE(session.AnswerAndPress("1\n", keys));
    return session.Finish();
  }

  // What the model of board 1 logged since the last call: one line a bus use.
  std::string TakeLog() {
    const std::string log = bench_.Contents("model/" + kBoardA + ".log");
    std::filesystem::remove(bench_.Path("model/" + kBoardA + ".log"));
    return log;
  }

  e2e::Workbench bench_;
  std::string program_ = VANTREL_PATH;
};

TEST_F(PlxBoardTest, ListsSavesAndFlashesOnlyWhatDiffers) {
  e2e::Ending ending = Run({"-x"}, {"k"});
  EXPECT_EQ(ending.output, kListing + kPressAnyKey);
  EXPECT_EQ(ending.errors, "");
  EXPECT_EQ(ending.status, 0);

  // The file holds the EEPROM's words exactly.
  ending = Run({"-s", bench_.Path("saved.bin")}, {"k"});
  EXPECT_EQ(ending.status, 0) << ending.output << ending.errors;
  EXPECT_EQ(bench_.Contents("saved.bin"), Words());
  TakeLog();

  ending = Run({"-f", bench_.Path("saved.bin")}, {"k", "k"});
  EXPECT_EQ(ending.status, 0) << ending.output << ending.errors;
  const std::string unchanged = TakeLog();
  EXPECT_NE(unchanged.find(" written=\n"), std::string::npos) << unchanged;
  EXPECT_EQ(bench_.Contents("model/" + kBoardA + ".eeprom"), Words());

  std::string other = Words();
  other[2 * 50] = '\x42';
  bench_.Store("other.bin", other);
  ending = Run({"-f", bench_.Path("other.bin")}, {"k", "k"});
  EXPECT_EQ(ending.status, 0) << ending.output << ending.errors;
  const std::string changed = TakeLog();
  EXPECT_NE(changed.find(" written=50,\n"), std::string::npos) << changed;
  EXPECT_EQ(changed.find("-bits"), std::string::npos) << changed;
  EXPECT_EQ(bench_.Contents("model/" + kBoardA + ".eeprom"), other);
  EXPECT_EQ(ending.errors, "");
}

// An installed tool (VANTREL_INSTALLED names it: scripts/test-packages sets
// the vantrel that the Debian package put on PATH) finds the library it was
// installed with through its own registry file.
TEST_F(PlxBoardTest, InstalledToolSavesThroughItsOwnLibrary) {
  const char* installed = std::getenv("VANTREL_INSTALLED");
  if (installed == nullptr || *installed == '\0')
    GTEST_SKIP() << "VANTREL_INSTALLED names no installed vantrel";
  program_ = installed;
  const e2e::Ending ending = Run({"-s", bench_.Path("saved.bin")}, {"k"});
  EXPECT_EQ(ending.output.substr(0, kListing.size()), kListing);
  EXPECT_EQ(ending.errors, "");
  EXPECT_EQ(ending.status, 0) << ending.output;
  EXPECT_EQ(bench_.Contents("saved.bin"), Words());
}

TEST_F(PlxBoardTest, AWordThatWillNotProgramFailsTheFlash) {
  bench_.Store("model/" + kBoardA + ".model", "unprogrammable-word 7\n");
  bench_.Store("image.bin", Words(7));
  const e2e::Ending ending = Run({"-f", bench_.Path("image.bin")}, {"k", "k"});
  EXPECT_NE(ending.output.find("Writing EEPROM...\nm_pci->WriteFlash failed!\n" + kPressAnyKey),
            std::string::npos)
      << ending.output;
  EXPECT_EQ(ending.errors, "plxboard: 0000:03:00.0: word 7 reads back 0x0711 where 0xbeef was written\n");
  EXPECT_EQ(ending.status, 2);
}

}  // namespace
