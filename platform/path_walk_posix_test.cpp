#include "platform/path_walk_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

TEST(PathWalkTest, DescriptorFoldersAreProcessAndThreadFdFolders) {
  const struct {
    const char* path;
    bool descriptors;
  } cases[] = {
      {"/proc/1/fd", true},
      {"/proc/4711/task/4712/fd", true},
      {"/proc/self/fd", false},
      {"/proc/12a/fd", false},
      {"/proc//fd", false},
      {"/proc/1/fd/", false},
      {"/proc/1/fdinfo", false},
      {"/proc/1/task/fd", false},
      {"/proc/1/task//fd", false},
      {"/tmp/proc/1/fd", false},
      {"", false},
      {"/proc/1/task/2/fd/3", false},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::IsDescriptorFolderPath(c.path), c.descriptors) << c.path;
}

// The shapes a path takes, in a folder only the operator writes (the rule
// for shared folders is run through whole saves in file_access_posix_test).
TEST(PathWalkTest, FollowsEachShapeToItsFolderOrRefusesIt) {
  char pattern[] = "/tmp/vantrel-walk-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string base = pattern;
  ASSERT_EQ(mkdir((base + "/dir").c_str(), 0700), 0);
  close(open((base + "/file.bin").c_str(), O_WRONLY | O_CREAT, 0600));
  const struct {
    const char* name;
    std::string to;
  } links[] = {{"link.bin", "dir/target.bin"},
               {"abs.bin", base + "/dir/target.bin"},
               {"linkdir", "dir"},
               {"loop.bin", "loop.bin"},
               {"toslash.bin", "dir/"},
               {"pipe.bin", "pipe:[42]"},
               {"gone.bin", "/x/y (deleted)"}};
  for (const auto& link : links) ASSERT_EQ(symlink(link.to.c_str(), (base + "/" + link.name).c_str()), 0);
  const int descriptor = open((base + "/file.bin").c_str(), O_WRONLY);

  using Kind = platform::Destination::Kind;
  const struct {
    std::string path;
    Kind kind;
    std::string folder;  // kInFolder: the folder reached, under base
    std::string name;
  } cases[] = {
      {"", Kind::kRefused, "", ""},
      {base + "/dir/", Kind::kRefused, "", ""},
      {base + "/dir/.", Kind::kRefused, "", ""},
      {base + "/dir/..", Kind::kRefused, "", ""},
      {base + "/missing/new.bin", Kind::kRefused, "", ""},
      {base + "/file.bin/new.bin", Kind::kRefused, "", ""},
      {base + "/" + std::string(PATH_MAX, 'x'), Kind::kRefused, "", ""},
      {base + "/loop.bin", Kind::kRefused, "", ""},
      {base + "/toslash.bin", Kind::kRefused, "", ""},
      {base + "/new.bin", Kind::kInFolder, "", "new.bin"},
      {base + "/dir/../new.bin", Kind::kInFolder, "", "new.bin"},
      {base + "//dir///x.bin", Kind::kInFolder, "/dir", "x.bin"},
      {base + "/link.bin", Kind::kInFolder, "/dir", "target.bin"},
      {base + "/abs.bin", Kind::kInFolder, "/dir", "target.bin"},
      {base + "/linkdir/x.bin", Kind::kInFolder, "/dir", "x.bin"},
      {base + "/pipe.bin", Kind::kThroughOpen, "", ""},
      {base + "/gone.bin", Kind::kThroughOpen, "", ""},
      {"/proc/self/fd/" + std::to_string(descriptor), Kind::kThroughOpen, "", ""},
      {"/dev/stdout", Kind::kThroughOpen, "", ""},
  };
  for (const auto& c : cases) {
    const platform::Destination reached = platform::WalkSavePath(c.path);
    EXPECT_EQ(reached.kind, c.kind) << c.path;
    if (reached.kind != Kind::kInFolder || c.kind != Kind::kInFolder) continue;
    EXPECT_EQ(reached.name, c.name) << c.path;
    struct stat got {};
    struct stat want {};
    EXPECT_EQ(fstat(reached.folder, &got), 0);
    EXPECT_EQ(stat((base + c.folder).c_str(), &want), 0);
    EXPECT_EQ(got.st_ino, want.st_ino) << c.path;
    close(reached.folder);
  }
  close(descriptor);
  std::filesystem::remove_all(base);
}

}  // namespace
