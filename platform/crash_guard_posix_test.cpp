#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/crash_guard.h"
#include "platform/file_access.h"

namespace {

bool HoldsATemporaryFile(const std::string& folder) {
  DIR* const entries = opendir(folder.c_str());
  bool found = false;
  for (const dirent* entry = readdir(entries); entry != nullptr && !found; entry = readdir(entries))
    found = std::string(entry->d_name).rfind(".vantrel-save-", 0) == 0;
  closedir(entries);
  return found;
}

// Foreign code that ends the process (here a thread of its own, between
// calls) while a save has its temporary file in the folder: the process
// ends with the guard's status, and the temporary file goes with it.
TEST(CrashGuardTest, AnExitDuringASaveLeavesNoTemporaryFile) {
  char pattern[] = "/tmp/vantrel-guard-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
    platform::EnterForeignCode("failed in\n", "ended in\n", 7);
    platform::LeaveForeignCode("failed after\n", "ended after\n", 7);
    std::thread([folder] {
      while (!HoldsATemporaryFile(folder)) {
      }
      std::exit(0);
    }).detach();
    const std::string target = folder + "/eeprom.bin";
    const unsigned char bytes[128] = {};
    for (;;) platform::WriteReplacingFile(target.c_str(), bytes, sizeof bytes);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << status;
  EXPECT_FALSE(HoldsATemporaryFile(folder));
  std::filesystem::remove_all(folder);
}

}  // namespace
