// The tool with the open board library (libplxboard.so) on a fake sysfs tree,
// the bridges and their EEPROMs played by the software model behind the
// library's register-bus plug-in.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/e2e/expected_output.h"
#include "testing/e2e/session.h"
#include "testing/e2e/work_folder.h"

namespace {

using e2e::kPressAnyKey;
using e2e::kPrompt;
using e2e::kSearch;

const std::string kBoardA = "0000:03:00.0";
const std::string kListing = kSearch +
                             "[1] AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]\n"
                             "[2] SG-214 (160 MSPS, 14 bit, rev. 1) [id=0x20152a7]\n" +
                             kPrompt;

// What every run through the model says first: that the plug-in stands in
// for the hardware, and that 0000:06:00.0 holds another chip.
const std::string kPreamble =
    std::string("plxboard: using the register-bus plug-in ") + PLXMODEL_BUS_PATH +
    ", not the hardware\n"
    "plxboard: 0000:06:00.0: its ID register reads 0x12345678: not a PLX bridge, not "
    "listed (check plx-ids)\n";

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
    work_.RegisterLibrary(PLXBOARD_PATH);
    work_.Store("plx-ids", "# our boards\n1e4a:0001\n");
    std::filesystem::create_directories(work_.Path("model"));
    AddFunction(kBoardA, "0x10b5", "0x9054", 0x02014c31, "");
    AddFunction("0000:04:00.0", "0x1e4a", "0x0001", 0x020152a7, "address-bits 8\n");
    AddFunction("0000:05:00.0", "0x8086", "0x1234", 0, "");                 // not listed: never opened
    AddFunction("0000:06:00.0", "0x1e4a", "0x0001", 0, "id 0x12345678\n");  // listed, but no PLX inside
    std::filesystem::remove(work_.Path("model/0000:05:00.0.eeprom"));
  }

  // A PCI function as sysfs shows it under `sysfs`, with memory decoding on
  // and a memory BAR0 at `bar0` (512 bytes), its resource0 one page of zeros,
  // and its bridge model.
  void AddFunction(const std::string& name, const char* vendor, const char* device, unsigned subsystem,
                   const std::string& model, const std::string& sysfs = "sys",
                   unsigned long long bar0 = 0xf7e00000) {
    const std::string folder = sysfs + "/bus/pci/devices/" + name;
    std::filesystem::create_directories(work_.Path(folder));
    work_.Store(folder + "/vendor", std::string(vendor) + "\n");
    work_.Store(folder + "/device", std::string(device) + "\n");
    char resource[80];
    std::snprintf(resource, sizeof resource, "0x%016llx 0x%016llx 0x0000000000040200\n", bar0, bar0 + 0x1ff);
    work_.Store(folder + "/resource", resource);
    work_.Store(folder + "/resource0", std::string(4096, '\0'));
    std::string config(256, '\0');
    config[4] = 0x07;
    // A capability list: power management at 0x40 (PMCSR at 0x44: D0), VPD
    // at 0x48 (its address register at 0x4A).
    config[6] = 0x10;
    config[0x34] = 0x40;
    config[0x40] = 0x01;
    config[0x41] = 0x48;
    config[0x48] = 0x03;
    for (int i = 0; i < 4; ++i) config[0x2C + i] = static_cast<char>(subsystem >> (8 * i));
    work_.Store(folder + "/config", config);
    // Runtime power management on, as powertop or TLP leave it.
    std::filesystem::create_directories(work_.Path(folder + "/power"));
    work_.Store(folder + "/power/control", "auto\n");
    work_.Store("model/" + name + ".eeprom", Words());
    work_.Store("model/" + name + ".model", model);
  }

  // One run on the board `answer` selects (board 1); `keys` typed at the
  // key waits.
  e2e::Ending Run(const std::vector<std::string>& args, const std::vector<std::string>& keys,
                  const std::string& answer = "1\n") {
    e2e::Session session(program_, args, Environment());
    EXPECT_TRUE(session.AnswerAndPress(answer, keys));
    return session.Finish();
  }

  std::map<std::string, std::string> Environment() const {
    std::map<std::string, std::string> env = work_.Environment();
    // An installed tool reads the registry file it was installed with.
    if (program_ != VANTREL_PATH) env["VANTREL_REGISTRY"] = "";
    env["VANTREL_SYSFS"] = work_.Path(sysfs_);
    env["VANTREL_PLX_IDS"] = work_.Path("plx-ids");
    env["VANTREL_PLX_BUS"] = mapped_ ? "" : PLXMODEL_BUS_PATH;
    env["PLXMODEL_DIR"] = work_.Path("model");
    return env;
  }

  // Sets one byte of a function's configuration space.
  void SetConfigByte(const std::string& name, std::size_t offset, char value) {
    const std::string path = sysfs_ + "/bus/pci/devices/" + name + "/config";
    std::string config = work_.Contents(path);
    config[offset] = value;
    work_.Store(path, config);
  }

  // What the model of board 1 logged since the last call: one line a bus use.
  std::string TakeLog() {
    const std::string log = work_.Contents("model/" + kBoardA + ".log");
    std::filesystem::remove(work_.Path("model/" + kBoardA + ".log"));
    return log;
  }

  std::string Sysfs(const std::string& name) const { return work_.Path(sysfs_ + "/bus/pci/devices/" + name); }

  e2e::WorkFolder work_;
  std::string program_ = VANTREL_PATH;
  std::string sysfs_ = "sys";
  bool mapped_ = false;  // through resource0 itself, not the plug-in
};

// Four 32-bit little-endian registers into a page of resource0.
void PutRegister(std::string& page, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) page[offset + i] = static_cast<char>(value >> (8 * i));
}

TEST_F(PlxBoardTest, ListsSavesAndFlashesOnlyWhatDiffers) {
  e2e::Ending ending = Run({"-x"}, {"k"});
  EXPECT_EQ(ending.output, kListing + kPressAnyKey);
  EXPECT_EQ(ending.errors, kPreamble);
  EXPECT_EQ(ending.status, 0);

  // The file holds the EEPROM's words exactly.
  ending = Run({"-s", work_.Path("saved.bin")}, {"k"});
  EXPECT_EQ(ending.status, 0) << ending.output << ending.errors;
  EXPECT_EQ(work_.Contents("saved.bin"), Words());
  TakeLog();

  ending = Run({"-f", work_.Path("saved.bin")}, {"k", "k"});
  EXPECT_EQ(ending.status, 0) << ending.output << ending.errors;
  const std::string unchanged = TakeLog();
  EXPECT_NE(unchanged.find(" written=\n"), std::string::npos) << unchanged;
  EXPECT_EQ(work_.Contents("model/" + kBoardA + ".eeprom"), Words());

  std::string other = Words();
  other[2 * 50] = '\x42';
  work_.Store("other.bin", other);
  ending = Run({"-f", work_.Path("other.bin")}, {"k", "k"});
  EXPECT_EQ(ending.status, 0) << ending.output << ending.errors;
  const std::string changed = TakeLog();
  EXPECT_NE(changed.find(" written=50,\n"), std::string::npos) << changed;
  EXPECT_EQ(changed.find("-bits"), std::string::npos) << changed;
  // Every READ and the programmed word came while the transfer held the lock.
  EXPECT_EQ(unchanged.find("unlocked"), std::string::npos) << unchanged;
  EXPECT_EQ(changed.find("unlocked"), std::string::npos) << changed;
  EXPECT_EQ(work_.Contents("model/" + kBoardA + ".eeprom"), other);
  EXPECT_EQ(ending.errors, kPreamble);
  // Runtime power management is back as it was.
  EXPECT_EQ(work_.Contents("sys/bus/pci/devices/" + kBoardA + "/power/control"), "auto\n");
}

// An installed tool (VANTREL_INSTALLED names it: scripts/test-packages sets
// the vantrel that the Debian package put on PATH) finds the library it was
// installed with through its own registry file.
TEST_F(PlxBoardTest, InstalledToolSavesThroughItsOwnLibrary) {
  const char* installed = std::getenv("VANTREL_INSTALLED");
  if (installed == nullptr || *installed == '\0')
    GTEST_SKIP() << "VANTREL_INSTALLED names no installed vantrel";
  program_ = installed;
  const e2e::Ending ending = Run({"-s", work_.Path("saved.bin")}, {"k"});
  EXPECT_EQ(ending.output.substr(0, kListing.size()), kListing);
  EXPECT_EQ(ending.errors, kPreamble);
  EXPECT_EQ(ending.status, 0) << ending.output;
  EXPECT_EQ(work_.Contents("saved.bin"), Words());
}

TEST_F(PlxBoardTest, AWordThatWillNotProgramFailsTheFlash) {
  work_.Store("model/" + kBoardA + ".model", "unprogrammable-word 7\n");
  work_.Store("image.bin", Words(7));
  const e2e::Ending ending = Run({"-f", work_.Path("image.bin")}, {"k", "k"});
  EXPECT_NE(ending.output.find("Writing EEPROM...\nm_pci->WriteFlash failed!\n" + kPressAnyKey),
            std::string::npos)
      << ending.output;
  EXPECT_EQ(ending.errors,
            kPreamble + "plxboard: 0000:03:00.0: word 7 reads back 0x0711 where 0xbeef was written\n");
  EXPECT_EQ(ending.status, 2);
}

}  // namespace

namespace {

// Another program's transfer holds the board, or a kernel driver owns it:
// the transfer is refused before the first clock.
TEST_F(PlxBoardTest, ABoardInUseOrOwnedByADriverIsNeverClocked) {
  struct Case {
    const char* name;
    bool locked;
    const char* driver;
    std::string errors;
  };
  const Case cases[] = {
      {"locked", true, nullptr, "plxboard: 0000:03:00.0: in use by another program\n"},
      {"driver", false, "../../../bus/pci/drivers/acqcard",
       "plxboard: 0000:03:00.0: the kernel driver acqcard is bound to it; unbind it first: "
       "echo 0000:03:00.0 | sudo tee /sys/bus/pci/drivers/acqcard/unbind\n"},
  };
  for (const Case& c : cases) {
    const int holder = ::open((Sysfs(kBoardA) + "/resource0").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    if (c.locked) {
      ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    }
    if (c.driver != nullptr) std::filesystem::create_directory_symlink(c.driver, Sysfs(kBoardA) + "/driver");
    for (const std::string option : {"-s", "-f"}) {
      work_.Store("image.bin", Words(9));
      // A save waits for one key (at its end), a flash for two.
      const std::vector<std::string> keys(option == "-s" ? 1 : 2, "k");
      const e2e::Ending ending = Run({option, work_.Path("image.bin")}, keys);
      EXPECT_EQ(ending.errors, kPreamble + c.errors) << c.name << option;
      EXPECT_EQ(ending.status, 2) << c.name << option;
      const std::string log = TakeLog();  // the identity check at discovery only
      EXPECT_EQ(log.rfind("clocks=0 ", 0), 0u) << c.name << option << ": " << log;
    }
    EXPECT_EQ(work_.Contents("model/" + kBoardA + ".eeprom"), Words()) << c.name;
    ::close(holder);
    std::filesystem::remove(Sysfs(kBoardA) + "/driver");
  }
}

// A driver that binds in the middle of a transfer (hot plug) ends it with a
// failure, not a crash and not a success.
TEST_F(PlxBoardTest, ADriverThatBindsDuringATransferFailsIt) {
  work_.Store("model/" + kBoardA + ".model", "driver-binds-at-clock 500\n");
  const e2e::Ending ending = Run({"-s", work_.Path("saved.bin")}, {"k"});
  EXPECT_EQ(ending.errors,
            kPreamble +
                "plxboard: 0000:03:00.0: the kernel driver hotplugged was bound to it during the transfer\n");
  EXPECT_NE(ending.output.find("m_pci->ReadFlash failed!\n"), std::string::npos) << ending.output;
  EXPECT_EQ(ending.status, 2);
  EXPECT_FALSE(std::filesystem::exists(work_.Path("saved.bin")));
}

// Through resource0 itself, a regular file one page long: mapped at offset 0
// it gives its first page, as the kernel gives the page that holds BAR0.
// Firmware packs 256-byte BARs several to a page.
TEST_F(PlxBoardTest, FindsEachBridgeAtItsOwnOffsetInASharedPage) {
  sysfs_ = "sys-mapped";
  mapped_ = true;
  // One bridge inside a page whose start holds another device's registers.
  AddFunction("0000:02:00.0", "0x10b5", "0x9054", 0x02014c31, "", sysfs_, 0xfebff400);
  std::string page(4096, '\0');
  PutRegister(page, 0x070, 0x12345678);
  PutRegister(page, 0x470, 0x905410b5);
  work_.Store(sysfs_ + "/bus/pci/devices/0000:02:00.0/resource0", page);
  // Two bridges in one page: one resource0 file, as the kernel maps one page.
  AddFunction("0000:07:00.0", "0x10b5", "0x9054", 0x020152a7, "", sysfs_, 0xfebf9000);
  AddFunction("0000:08:00.0", "0x10b5", "0x9054", 0x02014c31, "", sysfs_, 0xfebf9400);
  page.assign(4096, '\0');
  PutRegister(page, 0x070, 0x905410b5);
  PutRegister(page, 0x06C, 0x1200767E);  // board 07's CNTRL, chip select high in its own transfer
  PutRegister(page, 0x470, 0x905410b5);
  PutRegister(page, 0x46C, 0x1000767E);
  work_.Store(sysfs_ + "/bus/pci/devices/0000:07:00.0/resource0", page);
  const std::string shared = Sysfs("0000:08:00.0") + "/resource0";
  std::filesystem::remove(shared);
  std::filesystem::create_hard_link(Sysfs("0000:07:00.0") + "/resource0", shared);

  const e2e::Ending listed = Run({"-x"}, {"k"}, "3\n");
  EXPECT_EQ(listed.output, kSearch +
                               "[1] AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]\n"
                               "[2] SG-214 (160 MSPS, 14 bit, rev. 1) [id=0x20152a7]\n"
                               "[3] AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]\n" +
                               kPrompt + kPressAnyKey);
  EXPECT_EQ(listed.errors, "");

  // A save from 08 clocks 08's CNTRL (a page of plain memory answers like no
  // EEPROM) and leaves 07's registers byte for byte.
  const e2e::Ending saved = Run({"-s", work_.Path("saved.bin")}, {"k"}, "3\n");
  EXPECT_EQ(saved.errors.rfind("plxboard: 0000:08:00.0: ", 0), 0u) << saved.errors;
  EXPECT_EQ(saved.status, 2);
  EXPECT_EQ(work_.Contents(sysfs_ + "/bus/pci/devices/0000:07:00.0/resource0").substr(0, 0x100),
            page.substr(0, 0x100));
}

}  // namespace

namespace {

// Board numbers follow the slots: a function that cannot be used keeps its
// number (and is refused with the reason), so that board 3 is the third
// function whatever the second one does.
TEST_F(PlxBoardTest, ABoardThatCannotBeUsedKeepsItsNumber) {
  sysfs_ = "sys-slots";
  AddFunction("0000:03:00.0", "0x10b5", "0x9054", 0x02014c31, "", sysfs_);
  AddFunction("0000:03:00.1", "0x10b5", "0x9054", 0x020152a7, "id 0xffffffff\n", sysfs_);
  AddFunction("0000:03:00.2", "0x10b5", "0x9054", 0x02014c31, "", sysfs_);
  SetConfigByte("0000:03:00.1", 0x44, 0x03);  // PMCSR: D3hot
  const std::string plugin =
      std::string("plxboard: using the register-bus plug-in ") + PLXMODEL_BUS_PATH + ", not the hardware\n";

  e2e::Ending ending = Run({"-x"}, {"k"}, "3\n");
  EXPECT_EQ(ending.output, kSearch +
                               "[1] AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]\n"
                               "[2] SG-214 (160 MSPS, 14 bit, rev. 1) [id=0x20152a7]\n"
                               "[3] AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]\n" +
                               kPrompt + kPressAnyKey);
  EXPECT_EQ(ending.errors, plugin);

  work_.Store("image.bin", Words(9));
  ending = Run({"-f", work_.Path("image.bin")}, {"k", "k"}, "3\n");
  EXPECT_EQ(ending.status, 0) << ending.output << ending.errors;
  EXPECT_EQ(work_.Contents("model/0000:03:00.2.eeprom"), Words(9));
  EXPECT_EQ(work_.Contents("model/0000:03:00.0.eeprom"), Words());

  ending = Run({"-s", work_.Path("saved.bin")}, {"k"}, "2\n");
  EXPECT_NE(ending.output.find("m_pci->ReadFlash failed!\n"), std::string::npos) << ending.output;
  EXPECT_EQ(ending.errors,
            plugin +
                "plxboard: 0000:03:00.1: its registers read all ones (power state D3 in PMCSR); "
                "power it up with: echo 1 | sudo tee /sys/bus/pci/devices/0000:03:00.1/enable\n");
  EXPECT_EQ(ending.status, 2);
}

// A function of another vendor that a driver uses is listed but never
// mapped: a wrong line in plx-ids reads no live device's registers.
TEST_F(PlxBoardTest, AnotherVendorsFunctionWithADriverIsNeverMapped) {
  const std::string other = "0000:04:00.0";
  std::filesystem::create_directory_symlink("../../../bus/pci/drivers/acqcard", Sysfs(other) + "/driver");
  const e2e::Ending ending = Run({"-s", work_.Path("saved.bin")}, {"k"}, "2\n");
  EXPECT_EQ(ending.output.rfind(kListing, 0), 0u) << ending.output;
  EXPECT_EQ(ending.errors, kPreamble +
                               "plxboard: 0000:04:00.0: the kernel driver acqcard is bound to it; unbind it "
                               "first: echo 0000:04:00.0 | sudo tee /sys/bus/pci/drivers/acqcard/unbind\n");
  EXPECT_EQ(ending.status, 2);
  EXPECT_FALSE(std::filesystem::exists(work_.Path("model/" + other + ".log")));  // never opened
}

// While the operator reads the report, the board at the listed address is
// swapped or rescanned: BAR0 elsewhere, or another chip behind it. The
// transfer looks again after taking the lock and touches nothing.
TEST_F(PlxBoardTest, ABoardChangedSinceTheListingIsNotTouched) {
  struct Case {
    const char* name;
    std::string file;
    std::string contents;
    std::string reason;
  };
  const Case cases[] = {
      {"BAR0 moved", "sys/bus/pci/devices/" + kBoardA + "/resource",
       "0x00000000f7f00000 0x00000000f7f001ff 0x0000000000040200\n",
       "BAR0 moved from 0xf7e00000 to 0xf7f00000 since the boards were listed (hot swap or rescan?): run the "
       "tool again"},
      {"another chip", "model/" + kBoardA + ".model", "id 0x12345678\n",
       "its ID register reads 0x12345678 since the boards were listed: not touching it"},
  };
  for (const Case& c : cases) {
    const std::string kept = work_.Contents(c.file);
    work_.Store("image.bin", Words(9));
    e2e::Session session(program_, {"-f", work_.Path("image.bin")}, Environment());
    ASSERT_TRUE(session.AnswerAndPress("1\n", {})) << c.name;
    ASSERT_TRUE(session.WaitForOutputEnding("continue...\n")) << c.name << session.output();
    work_.Store(c.file, c.contents);
    ASSERT_TRUE(session.AnswerAndPress("", {"k", "k"})) << c.name;
    const e2e::Ending ending = session.Finish();
    EXPECT_NE(ending.output.find("m_pci->WriteFlash failed!\n"), std::string::npos) << c.name;
    EXPECT_EQ(ending.errors, kPreamble + "plxboard: 0000:03:00.0: " + c.reason + "\n") << c.name;
    EXPECT_EQ(work_.Contents("model/" + kBoardA + ".eeprom"), Words()) << c.name;
    work_.Store(c.file, kept);
  }
}

// The bridge's VPD engine (lspci -vv as root, a read of the vpd file) takes
// the EEPROM in the middle of a WRITE: the flash stops and says so.
TEST_F(PlxBoardTest, TheVpdEngineAtWorkStopsTheFlash) {
  work_.Store("model/" + kBoardA + ".model", "vpd-grab-at-clock 1050\n");
  work_.Store("image.bin", Words(9));
  const e2e::Ending ending = Run({"-f", work_.Path("image.bin")}, {"k", "k"});
  EXPECT_NE(ending.output.find("m_pci->WriteFlash failed!\n"), std::string::npos) << ending.output;
  EXPECT_EQ(ending.errors, kPreamble +
                               "plxboard: 0000:03:00.0: the bridge's VPD engine used the EEPROM during the "
                               "transfer (its VPD address register changed: lspci -vv, or a read of the vpd "
                               "file?)\n");
  EXPECT_EQ(ending.status, 2);
}

}  // namespace
