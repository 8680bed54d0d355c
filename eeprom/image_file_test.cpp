#include "eeprom/image_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "eeprom/eeprom_image.h"

namespace {

namespace fs = std::filesystem;

class ImageFileTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "image_file_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    g_eeprom_image = EepromImage{};
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  static std::string Image() { return std::string(reinterpret_cast<const char*>(g_eeprom_image.bytes), 128); }
  // How many entries the folder holds: a save leaves nothing of its own.
  std::size_t FolderEntries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  std::string folder_;
};

std::string Bytes(std::size_t count, char first = 'a') {
  std::string bytes;
  for (std::size_t i = 0; i < count; ++i) bytes += static_cast<char>(first + i % 26);
  return bytes;
}

TEST_F(ImageFileTest, LoadTakesAtMost128BytesAndKeepsTheRest) {
  struct LoadCase {
    std::size_t file_size;
    std::size_t taken;
  };
  for (const LoadCase c : {LoadCase{200, 128}, LoadCase{128, 128}, LoadCase{100, 100}, LoadCase{0, 0}}) {
    g_eeprom_image = EepromImage{};
    g_eeprom_image.bytes[127] = 0xEE;  // stays unless the file covers it
    Write(Path("image.bin"), Bytes(c.file_size));
    std::ostringstream out;
    EXPECT_EQ(LoadImageFile(Path("image.bin").c_str(), out), kImageLoaded) << c.file_size;
    EXPECT_EQ(out.str(), "EEPROM data was loaded successfully.\n");
    std::string expected = Bytes(c.taken) + std::string(128 - c.taken, '\0');
    if (c.taken < 128) expected[127] = '\xEE';
    EXPECT_EQ(Image(), expected) << c.file_size;
  }
}

TEST_F(ImageFileTest, LoadRefusesWhatIsNotAFileOrDeviceWithoutBlocking) {
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  fs::create_directory(Path("folder"));
  for (const std::string& path : {Path("missing.bin"), Path("folder"), Path("fifo")}) {
    std::ostringstream out;
    EXPECT_EQ(LoadImageFile(path.c_str(), out), kImageNotOpened);
    EXPECT_EQ(out.str(), "Couldn`t open file " + path + "\n");
  }
}

TEST_F(ImageFileTest, DevicesAreReadForAWholeImage) {
  std::memset(g_eeprom_image.bytes, 0xEE, 128);
  std::ostringstream out;
  EXPECT_EQ(LoadImageFile("/dev/zero", out), kImageLoaded);
  EXPECT_EQ(Image(), std::string(128, '\0'));
  EXPECT_EQ(LoadImageFile("/dev/null", out), kImageReadShort);
  EXPECT_EQ(out.str(), "EEPROM data was loaded successfully.\nFile reading failed!\n");
}

TEST_F(ImageFileTest, SaveCreatesOrReplacesTheFileWithNothingLeftOver) {
  std::memcpy(g_eeprom_image.bytes, Bytes(128, 'A').data(), 128);
  Write(Path("old.bin"), "old contents");
  ASSERT_EQ(chmod(Path("old.bin").c_str(), 0640), 0);
  fs::create_symlink("old.bin", Path("link.bin"));
  for (const char* name : {"new.bin", "old.bin", "link.bin"}) {
    std::ostringstream out;
    EXPECT_EQ(SaveImageFile(Path(name).c_str(), out), kImageSaved) << name;
    EXPECT_EQ(out.str(), "EEPROM data was saved successfully.\n");
    EXPECT_EQ(Read(Path(name)), Bytes(128, 'A')) << name;
  }
  EXPECT_TRUE(fs::is_symlink(Path("link.bin")));
  EXPECT_EQ(fs::status(Path("old.bin")).permissions(), fs::perms(0640));
  EXPECT_EQ(FolderEntries(), 3U);
}

TEST_F(ImageFileTest, SaveThatCannotStartSaysSo) {
  Write(Path("protected.bin"), "keep");
  ASSERT_EQ(chmod(Path("protected.bin").c_str(), 0444), 0);
  std::vector<std::string> paths = {Path("missing/image.bin"), Path("")};
  if (geteuid() != 0) paths.push_back(Path("protected.bin"));  // root may write anything
  for (const std::string& path : paths) {
    std::ostringstream out;
    EXPECT_EQ(SaveImageFile(path.c_str(), out), kImageNotCreated) << path;
    EXPECT_EQ(out.str(), "Couldn`t open file\n");
  }
  EXPECT_EQ(Read(Path("protected.bin")), "keep");
  EXPECT_EQ(FolderEntries(), 1U);
}

TEST_F(ImageFileTest, SaveToADeviceWritesInPlace) {
  std::ostringstream out;
  EXPECT_EQ(SaveImageFile("/dev/null", out), kImageSaved);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(ImageFileTest, ShortWriteKeepsTheOldFile) {
  Write(Path("old.bin"), "old contents");
  // The disk "fills up" after 100 bytes: writes past that fail with EFBIG.
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous_handler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit limited = saved;
  limited.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  std::ostringstream out;
  const int status = SaveImageFile(Path("old.bin").c_str(), out);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous_handler);
  EXPECT_EQ(status, kImageWrittenShort);
  EXPECT_EQ(out.str(), "Error write file\n");
  EXPECT_EQ(Read(Path("old.bin")), "old contents");
  EXPECT_EQ(FolderEntries(), 1U);
}

}  // namespace
