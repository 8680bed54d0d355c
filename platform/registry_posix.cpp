// The registry on systems without one: a .reg text file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/descriptor_posix.h"
#include "platform/reg_file.h"
#include "platform/registry.h"

namespace platform {
namespace {

// The system configuration folder of the install (/etc/vantrel for /usr).
constexpr const char kDefaultRegistryFile[] = VANTREL_CONFIG_DIR "/registry.reg";
// Far above any real export; keeps a wrong path (a device, a huge file) from
// eating memory.
constexpr off_t kMaxRegistryFileSize = 64 * 1024 * 1024;

// Reads a whole regular file. Directories, FIFOs and devices are refused
// without blocking on them. On failure, says why in `why`.
bool ReadWholeFile(const char* path, std::string& contents, std::string* why) {
  const Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) {
    *why = std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    *why = "not a regular file";
    return false;
  }
  if (info.st_size > kMaxRegistryFileSize) {
    *why = "larger than 64 MiB";
    return false;
  }
  contents.resize(static_cast<std::size_t>(info.st_size));
  contents.resize(ReadFully(file.get(), contents.data(), contents.size()));
  return true;
}

}  // namespace

bool ReadRegistryString(const char* key_path, const char* value_name, char* buffer, std::uint32_t buffer_size,
                        std::string* why) {
  // The key path may live in `buffer`: take it before anything is written there.
  const std::string full_key = std::string("HKEY_LOCAL_MACHINE\\") + key_path;
  const char* path = std::getenv("VANTREL_REGISTRY");
  if (path == nullptr || *path == '\0') path = kDefaultRegistryFile;
  const std::string file = std::string("registry file ") + path;

  std::string contents;
  std::string reason;
  if (!ReadWholeFile(path, contents, &reason)) {
    if (why != nullptr) *why = file + ": " + reason;
    return false;
  }
  const RegValue value = FindRegFileValue(contents, full_key, value_name);
  if (value.kind == RegValueKind::kString && value.text.size() < buffer_size) {
    std::memcpy(buffer, value.text.data(), value.text.size());
    buffer[value.text.size()] = '\0';
    return true;
  }
  if (why == nullptr) return false;
  const std::string value_text = std::string("the value \"") + value_name + "\" of " + full_key;
  if (!value.is_reg_text) {
    *why =
        file + ": not a registry export (no \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\" line)";
  } else if (!value.key_present) {
    *why = file + ": no key " + full_key;
  } else if (value.kind == RegValueKind::kAbsent) {
    *why = file + ": " + value_text + " is missing";
  } else if (value.kind == RegValueKind::kNotString) {
    *why = file + ": " + value_text + " is not a string";
  } else {
    *why = file + ": " + value_text + " is " + std::to_string(value.text.size()) + " bytes long, at most " +
           std::to_string(buffer_size - 1) + " fit";
  }
  return false;
}

}  // namespace platform
