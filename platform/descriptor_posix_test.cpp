#include "platform/descriptor_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

void Ignore(int) {}

// A signal that interrupts a blocked read does not end ReadFully, and the
// end of the input does; a write after it goes on in the same way.
TEST(DescriptorTest, ReadFullyGoesOnAfterASignalAndStopsAtTheEnd) {
  struct sigaction handler {};
  handler.sa_handler = Ignore;  // no SA_RESTART: the read fails with EINTR
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGUSR1, &handler, &before), 0);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t parent = getpid();
  const pid_t writer = fork();
  if (writer == 0) {
    close(fds[0]);
    platform::WriteFully(fds[1], "abc", 3);
    usleep(100 * 1000);
    kill(parent, SIGUSR1);
    usleep(50 * 1000);
    platform::WriteFully(fds[1], "def", 3);
    _exit(0);
  }
  platform::Descriptor input(fds[0]);
  close(fds[1]);
  char buffer[16] = {};
  EXPECT_EQ(platform::ReadFully(input.get(), buffer, 6), 6u);
  EXPECT_EQ(std::string(buffer, 6), "abcdef");
  waitpid(writer, nullptr, 0);
  EXPECT_EQ(platform::ReadFully(input.get(), buffer, sizeof buffer), 0u);
  sigaction(SIGUSR1, &before, nullptr);
}

TEST(DescriptorTest, ClosesWhatItOwns) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  {
    const platform::Descriptor read_end(fds[0]);
    platform::Descriptor write_end(fds[1]);
    EXPECT_EQ(platform::WriteFully(write_end.get(), "x", 1), 1u);
    EXPECT_TRUE(write_end.Close());
    EXPECT_FALSE(write_end.valid());
  }
  errno = 0;
  EXPECT_EQ(fcntl(fds[0], F_GETFD), -1);
  EXPECT_EQ(errno, EBADF);
}

}  // namespace
