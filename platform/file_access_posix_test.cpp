#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/file_access.h"

namespace {

// A save ended by Ctrl+C, SIGTERM, a hang-up, a user signal, a timer or a
// broken pipe at any moment leaves no temporary file behind: the signal
// waits until the new file is in place or gone. Each run kills a process
// that saves over and over, at a moment that moves from run to run.
TEST(ReplacingSaveTest, SignalsNeverLeaveATemporaryFile) {
  char pattern[] = "/tmp/vantrel-save-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const std::string target = folder + "/eeprom.bin";
  const unsigned char bytes[128] = {};
  const int kEnding[] = {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM, SIGPIPE};
  int leftovers = 0;
  for (int run = 0; run < 36; ++run) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) platform::WriteReplacingFile(target.c_str(), bytes, sizeof bytes);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + 397 * run));
    kill(child, kEnding[run % 6]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path() != target) ++leftovers, std::filesystem::remove(entry.path());
    }
  }
  EXPECT_EQ(leftovers, 0);
  std::filesystem::remove_all(folder);
}

}  // namespace
