// Image files on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file_access.h"

namespace platform {
namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinkHops = 40;

std::uint32_t ReadFully(int fd, unsigned char* buffer, std::uint32_t size) {
  std::uint32_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, buffer + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::uint32_t>(got);
  }
  return done;
}

std::uint32_t WriteFully(int fd, const unsigned char* data, std::uint32_t size) {
  std::uint32_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(fd, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<std::uint32_t>(put);
  }
  return done;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path that a chain of symbolic links at `path` ends in, whether or not
// a file exists there yet. Empty when the chain does not end.
std::string FinalTarget(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> link(static_cast<std::size_t>(info.st_size) + 256);
    const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) return std::string();
    const std::string destination(link.data(), static_cast<std::size_t>(length));
    current = destination[0] == '/' ? destination : FolderOf(current) + "/" + destination;
  }
  return std::string();
}

FileWrite WriteInPlace(const char* path, const unsigned char* data, std::uint32_t size) {
  FileWrite result;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return result;
  result.opened = true;
  result.written = WriteFully(fd, data, size);
  ::close(fd);
  return result;
}

mode_t ModeForNewFile() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Creates a new file of a name no other file has in the folder `folder_fd`.
// Relative to the folder, so that its name is as short as the target's
// folder allows: a target whose path is near the longest one possible can
// still be replaced.
int CreateTemporary(int folder_fd, std::string& name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = ".vantrel-save-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const int fd =
        ::openat(folder_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

FileRead ReadFileStart(const char* path, void* buffer, std::uint32_t size) {
  FileRead result;
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return result;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode))) {
    ::close(fd);
    return result;
  }
  // A device is read the ordinary way, waiting for its data.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  result.opened = true;
  // A device has no size to tell: as much as the buffer takes.
  const bool sized = S_ISREG(info.st_mode) && info.st_size <= static_cast<off_t>(size);
  result.requested = sized ? static_cast<std::uint32_t>(info.st_size) : size;
  result.read = ReadFully(fd, static_cast<unsigned char*>(buffer), result.requested);
  ::close(fd);
  return result;
}

FileWrite WriteReplacingFile(const char* path, const void* data, std::uint32_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  FileWrite result;
  const std::string target = FinalTarget(path);
  if (target.empty()) return result;
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  // A path the system cannot even look up (too long, a file where a folder
  // should be, no search permission) is refused, though the file might
  // still be reached relative to its folder.
  if (!exists && errno != ENOENT) return result;
  if (exists && !S_ISREG(existing.st_mode)) return WriteInPlace(path, bytes, size);
  // A file the operator may not write stays protected, as it would be when
  // written in place.
  if (exists && ::access(target.c_str(), W_OK) != 0) return result;

  const std::string folder = FolderOf(target);
  const std::string name = target.substr(target.rfind('/') + 1);
  const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return result;
  std::string temporary;
  const int fd = CreateTemporary(folder_fd, temporary);
  if (fd < 0) {
    ::close(folder_fd);
    return result;
  }
  result.opened = true;
  if (exists) {
    // Best effort: only a privileged user may hand the file to its owner.
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) errno = 0;
    ::fchmod(fd, existing.st_mode & 07777);
  } else {
    ::fchmod(fd, ModeForNewFile());
  }
  const std::uint32_t written = WriteFully(fd, bytes, size);
  const bool flushed = ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (written != size || !flushed || !closed ||
      ::renameat(folder_fd, temporary.c_str(), folder_fd, name.c_str()) != 0) {
    ::unlinkat(folder_fd, temporary.c_str(), 0);
    ::close(folder_fd);
    result.written = written != size ? written : 0;
    return result;
  }
  // The rename itself lasts only once the folder is on disk.
  ::fsync(folder_fd);
  ::close(folder_fd);
  result.written = written;
  return result;
}

}  // namespace platform
