// The mapped bus against a regular file standing in for resource0: mmap of a
// file at offset 0 gives its first page, as the kernel gives the page that
// holds BAR0.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "board_libraries/plxboard/register_bus.h"

namespace {

class MappedBusTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(mkdtemp(folder_), nullptr);
    // Another device's registers at the page's start, the bridge's at 0x400.
    std::string page(4096, '\0');
    const auto put = [&page](std::size_t at, std::uint32_t value) {
      for (int i = 0; i < 4; ++i) page[at + i] = static_cast<char>(value >> (8 * i));
    };
    put(0x070, 0x12345678);
    put(0x470, 0x905410b5);
    std::ofstream(path(), std::ios::binary) << page;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string path() const { return std::string(folder_) + "/resource0"; }

  char folder_[32] = "/tmp/vantrel-bar-XXXXXX";
};

TEST_F(MappedBusTest, FindsTheRegistersAtBarZerosOffsetInItsPage) {
  std::string why;
  plx::RegisterBus bus = plx::OpenMappedBus(folder_, 0xfebf9400, why);
  ASSERT_TRUE(bus.is_open()) << why;
  EXPECT_EQ(bus.Read(0x70), 0x905410b5u);
  bus.Write(0x6C, 0x0A0B0C0D);
  bus.Close();
  // Little-endian in the register, and nothing written outside it.
  std::ifstream file(path(), std::ios::binary);
  std::string page((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(page.substr(0x46C, 4), "\x0D\x0C\x0B\x0A");
  EXPECT_EQ(page.substr(0x06C, 4), std::string(4, '\0'));
}

// A kernel that revokes the mapping (a driver claims the region) makes the
// next access a bus error; a truncated file does the same to its mapping.
TEST_F(MappedBusTest, ABusErrorInTheMappingLosesTheBusInsteadOfEndingTheProcess) {
  std::string why;
  const plx::RegisterBus bus = plx::OpenMappedBus(folder_, 0xfebf9400, why);
  ASSERT_TRUE(bus.is_open()) << why;
  EXPECT_FALSE(bus.lost());
  ASSERT_EQ(::truncate(path().c_str(), 0), 0);
  bus.Write(0x6C, 1);
  EXPECT_EQ(bus.Read(0x70), 0u);
  EXPECT_TRUE(bus.lost());
}

}  // namespace
