// Image files on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "platform/descriptor_posix.h"
#include "platform/file_access.h"
#include "platform/held_signals_posix.h"

namespace platform {
namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinkHops = 40;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Where a save to a path goes once the links on the way are followed.
struct Destination {
  enum Kind {
    kRefused,      // nothing may be written there
    kThroughOpen,  // an open descriptor of some process: written in place through open()
    kPath          // `path`, a file or no file yet, reached without a link
  } kind;
  std::string path;
};

// A folder of /proc whose entries are the descriptors a process holds.
bool IsDescriptorFolder(const std::string& folder) {
  char* real = ::realpath(folder.c_str(), nullptr);
  if (real == nullptr) return false;
  const std::string path = real;
  std::free(real);
  static const std::regex kFolder("/proc/[0-9]+(/task/[0-9]+)?/fd");
  return std::regex_match(path, kFolder);
}

// A link of /proc that stands for something with no path: a pipe, a socket,
// an anonymous inode, a deleted file.
bool NamesNoPath(const std::string& destination) {
  const std::string deleted = " (deleted)";
  return destination.rfind("pipe:[", 0) == 0 || destination.rfind("socket:[", 0) == 0 ||
         destination.rfind("anon_inode:", 0) == 0 ||
         (destination.size() >= deleted.size() &&
          destination.compare(destination.size() - deleted.size(), deleted.size(), deleted) == 0);
}

// The kernel's rule for links in sticky, world-writable folders such as
// /tmp: such a link is followed only when it belongs to the operator or to
// the folder's owner, so that no other user can plant one that turns a save
// against a file of the operator's. The kernel applies it only to the links
// it follows itself; the save follows the last ones itself.
bool MayFollow(const std::string& link, const struct stat& link_info) {
  struct stat folder {};
  if (::stat(FolderOf(link).c_str(), &folder) != 0) return false;
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || link_info.st_uid == ::geteuid() || link_info.st_uid == folder.st_uid;
}

// Follows the chain of symbolic links at `path` to the path it ends in,
// whether or not a file exists there yet.
Destination FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      // A path the system cannot even look up (too long, a file where a
      // folder should be, no search permission) is refused, though the file
      // might still be reached relative to its folder.
      if (errno != ENOENT) return {Destination::kRefused, {}};
      return {Destination::kPath, current};
    }
    if (!S_ISLNK(info.st_mode)) return {Destination::kPath, current};
    if (IsDescriptorFolder(FolderOf(current))) return {Destination::kThroughOpen, {}};
    if (!MayFollow(current, info)) return {Destination::kRefused, {}};
    std::vector<char> link(static_cast<std::size_t>(info.st_size) + 256);
    const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= link.size()) return {Destination::kRefused, {}};
    const std::string destination(link.data(), static_cast<std::size_t>(length));
    if (NamesNoPath(destination)) return {Destination::kThroughOpen, {}};
    current = destination[0] == '/' ? destination : FolderOf(current) + "/" + destination;
  }
  return {Destination::kRefused, {}};
}

// Writes a file just opened in place: from its start, then (a regular
// file) cut to `size` and flushed.
FileWrite WriteThrough(int fd, bool regular, const unsigned char* data, std::uint32_t size) {
  FileWrite result;
  result.opened = true;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const std::uint32_t written = static_cast<std::uint32_t>(WriteFully(fd, data, size));
  const bool finished = !regular || (::ftruncate(fd, size) == 0 && ::fsync(fd) == 0);
  result.written = written == size && !finished ? 0 : written;
  return result;
}

mode_t ModeForNewFile() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// A name nobody can guess ahead of the save, so that nobody can block it by
// creating the file first.
std::string RandomName() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  // The system's random source (getrandom or /dev/urandom), not a seeded
  // generator.
  std::random_device noise;
  std::string name = ".vantrel-save-";
  for (int i = 0; i < 12; ++i) name += kLetters[noise() % (sizeof kLetters - 1)];
  return name;
}

// Creates a new file of a name no other file has in the folder `folder_fd`.
// Relative to the folder, so that its name is as short as the target's
// folder allows: a target whose path is near the longest one possible can
// still be replaced.
int CreateTemporary(int folder_fd, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = RandomName();
    const int fd = ::openat(folder_fd, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Gives the new file the owner, group and permissions of the one it
// replaces, as far as the operator may: anyone may keep a group they belong
// to, only a privileged user may hand the file to another owner.
void TakeOverAttributes(int fd, const struct stat* existing) {
  if (existing == nullptr) {
    ::fchmod(fd, ModeForNewFile());
    return;
  }
  if (::fchown(fd, existing->st_uid, existing->st_gid) != 0 &&
      ::fchown(fd, static_cast<uid_t>(-1), existing->st_gid) != 0) {
    errno = 0;
  }
  ::fchmod(fd, existing->st_mode & 07777);
}

// The outcome of putting a new file in the place of `name`.
enum class Replaced { kDone, kFailed, kRefused };

// Writes the bytes to a new file in the folder and renames it over `name`.
// kRefused when the system does not let the folder take a new file or the
// rename (nothing written, nothing left behind): the caller may then write
// the existing file in place.
Replaced ReplaceInFolder(const std::string& folder, const std::string& name, const struct stat* existing,
                         const unsigned char* data, std::uint32_t size, FileWrite& result) {
  const Descriptor folder_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder_fd.valid()) return Replaced::kRefused;
  // Ctrl+C and the like wait while a temporary file is in the folder.
  const HeldSignals held;
  std::string temporary;
  Descriptor file(CreateTemporary(folder_fd.get(), temporary));
  if (!file.valid()) return Replaced::kRefused;
  result.opened = true;
  TakeOverAttributes(file.get(), existing);
  const std::uint32_t written = static_cast<std::uint32_t>(WriteFully(file.get(), data, size));
  const bool flushed = ::fsync(file.get()) == 0;
  const bool closed = file.Close();
  if (written != size || !flushed || !closed) {
    ::unlinkat(folder_fd.get(), temporary.c_str(), 0);
    result.written = written != size ? written : 0;
    return Replaced::kFailed;
  }
  if (::renameat(folder_fd.get(), temporary.c_str(), folder_fd.get(), name.c_str()) != 0) {
    const int error = errno;
    ::unlinkat(folder_fd.get(), temporary.c_str(), 0);
    // Refused by the folder or the file (permissions, a sticky folder, a
    // mount point, another file system) rather than a failure to write.
    if (error == EACCES || error == EPERM || error == EBUSY || error == EXDEV) return Replaced::kRefused;
    result.written = 0;
    return Replaced::kFailed;
  }
  // The rename itself lasts only once the folder is on disk.
  ::fsync(folder_fd.get());
  result.written = written;
  return Replaced::kDone;
}

}  // namespace

FileRead ReadFileStart(const char* path, void* buffer, std::uint32_t size) {
  FileRead result;
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  const int fd = file.get();
  if (fd < 0) return result;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode))) return result;
  // A device is read the ordinary way, waiting for its data.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  result.opened = true;
  // A device has no size to tell: as much as the buffer takes.
  const bool sized = S_ISREG(info.st_mode) && info.st_size <= static_cast<off_t>(size);
  result.requested = sized ? static_cast<std::uint32_t>(info.st_size) : size;
  result.read = static_cast<std::uint32_t>(ReadFully(fd, buffer, result.requested));
  return result;
}

FileWrite WriteReplacingFile(const char* path, const void* data, std::uint32_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  const Destination destination = FollowLinks(path);
  if (destination.kind == Destination::kRefused) return FileWrite();
  if (destination.kind == Destination::kThroughOpen) {
    // Standard output or another descriptor: appended, as a write to the
    // descriptor itself would be, never cut short.
    const Descriptor fd(::open(path, O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return FileWrite();
    return WriteThrough(fd.get(), false, bytes, size);
  }
  const std::string& target = destination.path;
  const std::string folder = FolderOf(target);
  const std::string name = target.substr(target.rfind('/') + 1);

  struct stat seen {};
  if (::lstat(target.c_str(), &seen) != 0) {
    if (errno != ENOENT) return FileWrite();
    FileWrite result;
    return ReplaceInFolder(folder, name, nullptr, bytes, size, result) == Replaced::kRefused ? FileWrite()
                                                                                             : result;
  }
  // The object written is the object looked at: no link is followed now,
  // and a file swapped in meanwhile is refused. Opening for writing also
  // tells whether the operator may write it; a FIFO with no reader does not
  // open (nothing waits for one).
  const Descriptor fd(::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat opened {};
  if (!fd.valid() || ::fstat(fd.get(), &opened) != 0 || opened.st_dev != seen.st_dev ||
      opened.st_ino != seen.st_ino) {
    return FileWrite();
  }
  // A device or a FIFO is written in place.
  if (!S_ISREG(opened.st_mode)) return WriteThrough(fd.get(), false, bytes, size);
  FileWrite result;
  if (ReplaceInFolder(folder, name, &opened, bytes, size, result) != Replaced::kRefused) return result;
  // The system lets the file be written but not replaced (a folder the
  // operator may not write, another user's file in a sticky folder, a file
  // that is a mount point): written in place, as `echo > file` would. Only
  // here can a failed write leave the old file damaged.
  return WriteThrough(fd.get(), true, bytes, size);
}

}  // namespace platform
