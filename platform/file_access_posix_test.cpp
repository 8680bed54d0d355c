#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
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
  // The children end by these signals' default action, whatever this
  // process was started with (a shell without job control starts a
  // background job with SIGINT ignored).
  struct sigaction before[6];
  struct sigaction by_default {};
  by_default.sa_handler = SIG_DFL;
  for (int i = 0; i < 6; ++i) sigaction(kEnding[i], &by_default, &before[i]);
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
  for (int i = 0; i < 6; ++i) sigaction(kEnding[i], &before[i], nullptr);
  EXPECT_EQ(leftovers, 0);
  std::filesystem::remove_all(folder);
}

// A POSIX ACL in its extended-attribute form: version 2, then entries of a
// tag, permissions and an id, sorted by tag.
std::string Acl(std::initializer_list<std::array<std::uint32_t, 3>> entries) {
  std::string blob = {2, 0, 0, 0};
  for (const auto& [tag, permissions, id] : entries) {
    const std::uint32_t word[2] = {tag | (permissions << 16), id};
    blob.append(reinterpret_cast<const char*>(word), sizeof word);
  }
  return blob;
}

std::string AclOf(const std::string& path, const char* kind = "system.posix_acl_access") {
  char acl[1024];
  const ssize_t size = getxattr(path.c_str(), kind, acl, sizeof acl);
  return size > 0 ? std::string(acl, static_cast<std::size_t>(size)) : "";
}

// A saved file keeps the old file's access ACL, and gains none from the
// folder's default ACL that the old file did not have.
TEST(ReplacingSaveTest, TheAccessAclGoesWithTheFile) {
  char pattern[] = "/tmp/vantrel-acl-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  constexpr std::uint32_t kUndefined = 0xFFFFFFFF;
  // user::rw- user:65534:r-- group::rw- mask::r-- other::---
  const std::string acl = Acl({{0x01, 6, kUndefined},
                               {0x02, 4, 65534},
                               {0x04, 6, kUndefined},
                               {0x10, 4, kUndefined},
                               {0x20, 0, kUndefined}});
  const std::string with = folder + "/with.bin";
  const std::string without = folder + "/without.bin";
  const unsigned char bytes[128] = {};
  platform::WriteReplacingFile(with.c_str(), bytes, sizeof bytes);
  platform::WriteReplacingFile(without.c_str(), bytes, sizeof bytes);
  if (setxattr(with.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0 ||
      setxattr(folder.c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) != 0) {
    std::filesystem::remove_all(folder);
    GTEST_SKIP() << "this file system takes no ACLs";
  }
  for (const std::string& path : {with, without}) {
    EXPECT_EQ(platform::WriteReplacingFile(path.c_str(), bytes, sizeof bytes).written, 128u) << path;
  }
  EXPECT_EQ(AclOf(with), acl);
  struct stat status {};
  stat(with.c_str(), &status);
  EXPECT_EQ(status.st_mode & 070, 040u) << "the group bits are the mask";
  EXPECT_EQ(AclOf(without), "");
  std::filesystem::remove_all(folder);
}

// In a folder that keeps every file (append-only), a save writes the old
// file in place, or makes the new one where it belongs, and leaves nothing
// beside it.
TEST(ReplacingSaveTest, AnAppendOnlyFolderGetsNoTemporaryFile) {
  char pattern[] = "/tmp/vantrel-append-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  const std::string old_file = folder + "/old.bin";
  const unsigned char bytes[128] = {1};
  platform::WriteReplacingFile(old_file.c_str(), bytes, 64);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  // The flags are an int; the ioctls are declared with a long, so the
  // buffer is that long (valgrind checks all of it).
  int flags[2] = {};
  ioctl(fd, FS_IOC_GETFLAGS, flags);
  int append_only[2] = {flags[0] | FS_APPEND_FL, 0};
  if (ioctl(fd, FS_IOC_SETFLAGS, append_only) != 0) {
    close(fd);
    std::filesystem::remove_all(folder);
    GTEST_SKIP() << "chattr +a needs CAP_LINUX_IMMUTABLE and a file system that keeps the flag";
  }
  const platform::FileWrite old_saved = platform::WriteReplacingFile(old_file.c_str(), bytes, sizeof bytes);
  const std::string new_file = folder + "/new.bin";
  const platform::FileWrite new_saved = platform::WriteReplacingFile(new_file.c_str(), bytes, sizeof bytes);
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) ++entries, static_cast<void>(entry);
  ioctl(fd, FS_IOC_SETFLAGS, flags);
  close(fd);
  EXPECT_EQ(old_saved.written, 128u);
  EXPECT_EQ(new_saved.written, 128u);
  EXPECT_EQ(std::filesystem::file_size(old_file), 128u);
  EXPECT_EQ(entries, 2);
  std::filesystem::remove_all(folder);
}

// The path walk in folders that others may write, over the shapes a path
// can take there. Run as root: entries are handed to another user (65534).
TEST(PathWalkTest, FoldersOthersMayWriteTrustOnlyTheirOwnersEntries) {
  if (geteuid() != 0) GTEST_SKIP() << "handing files to another user needs root";
  char pattern[] = "/tmp/vantrel-walk-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string base = pattern;
  constexpr uid_t kOther = 65534;
  const auto folder = [](const std::string& path, mode_t mode, uid_t owner) {
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << path;
    ASSERT_EQ(chown(path.c_str(), owner, owner), 0);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  };
  const auto file = [](const std::string& path, uid_t owner) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr) << path;
    std::fclose(f);
    ASSERT_EQ(chown(path.c_str(), owner, owner), 0);
  };
  folder(base + "/sticky", 01777, 0);             // as /tmp
  folder(base + "/sticky/theirs", 0777, kOther);  // planted by another user
  folder(base + "/sticky/mine", 0700, 0);
  file(base + "/target.bin", 0);
  ASSERT_EQ(symlink((base + "/target.bin").c_str(), (base + "/sticky/link.bin").c_str()), 0);
  ASSERT_EQ(lchown((base + "/sticky/link.bin").c_str(), kOther, kOther), 0);
  file(base + "/sticky/planted.bin", kOther);
  folder(base + "/open", 0777, kOther);  // others may write, no sticky bit
  file(base + "/open/owners.bin", kOther);
  folder(base + "/open/sub", 0755, kOther);
  const int descriptor = open((base + "/target.bin").c_str(), O_WRONLY);

  struct Case {
    std::string path;
    std::string why;  // "" where the save goes through
  };
  const std::string kTheirs = "the folder theirs in a shared folder belongs to another user";
  const Case cases[] = {
      {base + "/sticky/theirs/board.bin", kTheirs},
      {base + "/sticky/mine/board.bin", ""},
      {base + "/sticky/mine/../theirs/board.bin", kTheirs},
      {"theirs/board.bin", kTheirs},  // relative, from the sticky folder
      {"mine/board.bin", ""},
      {base + "/sticky/link.bin", "the link link.bin in a shared folder belongs to another user"},
      {base + "/sticky/planted.bin", "planted.bin in a shared folder belongs to another user"},
      {base + "/open/owners.bin", "owners.bin in a shared folder belongs to another user"},
      {base + "/open/sub/board.bin", "the folder sub in a shared folder belongs to another user"},
      {base + "/open/new.bin", ""},
      {"/proc/self/fd/" + std::to_string(descriptor), ""},
  };
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(base + "/sticky");
  const unsigned char bytes[128] = {};
  for (const Case& c : cases) {
    std::string why;
    const platform::FileWrite result =
        platform::WriteReplacingFile(c.path.c_str(), bytes, sizeof bytes, &why);
    EXPECT_EQ(why, c.why) << c.path;
    EXPECT_EQ(result.written, c.why.empty() ? 128u : 0u) << c.path;
  }
  std::filesystem::current_path(before);
  close(descriptor);
  std::filesystem::remove_all(base);
}

}  // namespace
