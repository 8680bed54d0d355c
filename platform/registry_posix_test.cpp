#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "platform/registry.h"

namespace {

constexpr char kKeyPath[] = "SOFTWARE\\Quenby\\Ferrule\\1.0\\PLX9080";

class RegistryFileTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vantrel-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    file_ = dir_ + "/registry.reg";
    setenv("VANTREL_REGISTRY", file_.c_str(), 1);
  }
  void TearDown() override {
    unlink(file_.c_str());
    rmdir(dir_.c_str());
    unsetenv("VANTREL_REGISTRY");
  }
  void WritePath(const std::string& value) {
    std::ofstream(file_, std::ios::binary)
        << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" << kKeyPath << "]\n\"path\"=\"" << value << "\"\n";
  }
  // Reads into a 256-byte buffer that holds the key path, as the program
  // does, with guard bytes behind it.
  bool Read() {
    std::memset(memory_, '#', sizeof memory_);
    std::strcpy(memory_, kKeyPath);
    return platform::ReadRegistryString(memory_, "path", memory_, 256);
  }

  std::string dir_;
  std::string file_;
  char memory_[300];
};

TEST_F(RegistryFileTest, ValueOf255BytesFitsWithItsNul) {
  const std::string value(255, 'a');
  WritePath(value);
  ASSERT_TRUE(Read());
  EXPECT_EQ(std::string(memory_), value);
  EXPECT_EQ(memory_[256], '#');
}

TEST_F(RegistryFileTest, ValueOf256BytesIsNotFoundAndNothingIsWrittenPastTheBuffer) {
  WritePath(std::string(256, 'a'));
  EXPECT_FALSE(Read());
  EXPECT_EQ(std::string(memory_ + 256, 44), std::string(44, '#'));
}

TEST_F(RegistryFileTest, MissingFileOrDirectoryIsNotFound) {
  EXPECT_FALSE(Read());
  setenv("VANTREL_REGISTRY", dir_.c_str(), 1);
  EXPECT_FALSE(Read());
}

}  // namespace
