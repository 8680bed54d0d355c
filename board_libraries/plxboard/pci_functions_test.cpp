#include "board_libraries/plxboard/pci_functions.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(PciFunctionsTest, ReadsTheIdFileAsAnOperatorWritesIt) {
  const auto ids = plx::ParseIds(
      "# boards of ours\n1e4a:0001\n  1E4A:00a2   # with a comment\n1e4a\n1e4a:1:2\nzz:0001\n12345:0001\n\n");
  const std::vector<std::pair<std::uint16_t, std::uint16_t>> expected = {{0x1e4a, 0x0001}, {0x1e4a, 0x00a2}};
  EXPECT_EQ(ids, expected);
}

// BAR0 must be memory of at least 256 bytes, and memory decoding on, before
// a register is touched.
TEST(PciFunctionsTest, ChecksBarZeroAndMemoryDecodingFromSysfs) {
  struct Case {
    const char* resource;
    unsigned char command;
    bool bar;
    bool decodes;
  };
  const Case cases[] = {
      {"0x00000000f7e00000 0x00000000f7e001ff 0x0000000000040200\n", 0x07, true, true},
      {"0x00000000f7e00000 0x00000000f7e0007f 0x0000000000040200\n", 0x07, false, true},  // 128 bytes
      {"0x000000000000e000 0x000000000000e0ff 0x0000000000040101\n", 0x07, false, true},  // an I/O BAR
      {"0x00000000f7e00000 0x00000000f7e001ff 0x0000000000040200\n", 0x05, true, false},
      {"0x0000000000000000 0x00000000000001ff 0x0000000000040200\n", 0x07, false, true},  // never assigned
      {"0x00000000f7e00000 0x00000000f7e001ff 0x0000000020040200\n", 0x07, false, true},  // IORESOURCE_UNSET
  };
  char pattern[] = "/tmp/vantrel-pci-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  plx::PciFunction function{"0000:03:00.0", pattern};
  for (const Case& c : cases) {
    std::ofstream(function.folder + "/resource") << c.resource;
    std::string config(64, '\0');
    config[4] = static_cast<char>(c.command);
    std::ofstream(function.folder + "/config", std::ios::binary) << config;
    std::string why;
    EXPECT_EQ(plx::HasRegisterBar(function, why), c.bar) << c.resource;
    EXPECT_EQ(plx::DecodesMemory(function, why), c.decodes) << why;
  }
  std::filesystem::remove_all(pattern);
}

// The capability list as the configuration space holds it: found by its
// ID, absent when the status register says there is no list, and a list
// that points back into itself ends.
TEST(PciFunctionsTest, WalksTheCapabilityList) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::size_t, unsigned char>> bytes;
    std::uint32_t vpd;
  };
  const Case cases[] = {
      {"PM then VPD", {{6, 0x10}, {0x34, 0x40}, {0x40, 0x01}, {0x41, 0x48}, {0x48, 0x03}}, 0x48},
      {"no list", {{6, 0x00}, {0x34, 0x40}, {0x40, 0x03}}, 0},
      {"no VPD", {{6, 0x10}, {0x34, 0x40}, {0x40, 0x01}}, 0},
      {"a loop", {{6, 0x10}, {0x34, 0x40}, {0x40, 0x01}, {0x41, 0x40}}, 0},
  };
  char pattern[] = "/tmp/vantrel-pci-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const plx::PciFunction function{"0000:03:00.0", pattern};
  for (const Case& c : cases) {
    std::string config(256, '\0');
    for (const auto& [offset, value] : c.bytes) config[offset] = static_cast<char>(value);
    std::ofstream(function.folder + "/config", std::ios::binary) << config;
    EXPECT_EQ(plx::FindCapability(function, 0x03), c.vpd) << c.name;
  }
  std::filesystem::remove_all(pattern);
}

}  // namespace
