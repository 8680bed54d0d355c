// The registry on systems without one: a .reg text file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/registry.h"

namespace platform {
namespace {

constexpr const char kDefaultRegistryFile[] = "/etc/vantrel/registry.reg";
// Far above any real export; keeps a wrong path (a device, a huge file) from
// eating memory.
constexpr off_t kMaxRegistryFileSize = 64 * 1024 * 1024;

// Reads a whole regular file. Directories, FIFOs and devices are refused
// without blocking on them.
bool ReadWholeFile(const char* path, std::string& contents) {
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxRegistryFileSize;
  if (ok) {
    contents.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < contents.size()) {
      const ssize_t got = ::read(fd, &contents[done], contents.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    contents.resize(done);
  }
  ::close(fd);
  return ok;
}

}  // namespace

bool ReadRegistryString(const char* key_path, const char* value_name, char* buffer,
                        std::uint32_t buffer_size) {
  // The key path may live in `buffer`: take it before anything is written there.
  const std::string full_key = std::string("HKEY_LOCAL_MACHINE\\") + key_path;
  const char* path = std::getenv("VANTREL_REGISTRY");
  if (path == nullptr || *path == '\0') path = kDefaultRegistryFile;

  std::string contents;
  if (!ReadWholeFile(path, contents)) return false;
  const RegValue value = FindRegFileValue(contents, full_key, value_name);
  if (value.kind != RegValueKind::kString || value.text.size() >= buffer_size) return false;
  std::memcpy(buffer, value.text.data(), value.text.size());
  buffer[value.text.size()] = '\0';
  return true;
}

}  // namespace platform
