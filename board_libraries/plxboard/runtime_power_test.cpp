#include "board_libraries/plxboard/runtime_power.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string Setting(const std::string& path) {
  std::string setting;
  std::getline(std::ifstream(path), setting);
  return setting;
}

// "auto" is "on" for the transfer and "auto" again after it; "on" and a
// kernel without the file are left alone.
TEST(PowerKeptOnTest, RuntimeSuspendIsOffForTheTransferOnly) {
  char pattern[] = "/tmp/vantrel-power-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const plx::PciFunction function{"0000:03:00.0", pattern, 0};
  const std::string control = function.folder + "/power/control";
  std::string why;
  {
    plx::PowerKeptOn power;
    EXPECT_TRUE(power.Take(function, why)) << "no power folder";
  }
  std::filesystem::create_directory(function.folder + "/power");
  for (const char* before : {"auto", "on"}) {
    std::ofstream(control) << before << "\n";
    {
      plx::PowerKeptOn power;
      EXPECT_TRUE(power.Take(function, why)) << why;
      EXPECT_EQ(Setting(control), "on") << before;
    }
    EXPECT_EQ(Setting(control), before);
  }
  std::filesystem::remove_all(function.folder);
}

// A setting that cannot be changed refuses the transfer with the command
// that changes it.
TEST(PowerKeptOnTest, ASettingThatCannotChangeRefusesWithTheCommand) {
  char pattern[] = "/tmp/vantrel-power-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const plx::PciFunction function{"0000:03:00.0", pattern, 0};
  const std::string control = function.folder + "/power/control";
  std::filesystem::create_directory(function.folder + "/power");
  std::ofstream(control) << "auto\n";
  const int fd = open(control.c_str(), O_RDONLY);
  // An int, in a buffer as long as the ioctl's declared long.
  int flags[2] = {FS_IMMUTABLE_FL, 0};
  const bool immutable = ioctl(fd, FS_IOC_SETFLAGS, flags) == 0;
  std::string why;
  bool taken = true;
  if (immutable) {
    plx::PowerKeptOn power;
    taken = power.Take(function, why);
    flags[0] = 0;
    ioctl(fd, FS_IOC_SETFLAGS, flags);
  }
  close(fd);
  std::filesystem::remove_all(function.folder);
  if (!immutable) GTEST_SKIP() << "chattr +i needs CAP_LINUX_IMMUTABLE and a file system that keeps the flag";
  EXPECT_FALSE(taken);
  EXPECT_NE(why.find("echo on | sudo tee /sys/bus/pci/devices/0000:03:00.0/power/control"), std::string::npos)
      << why;
}

}  // namespace
