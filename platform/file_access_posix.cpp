// Image files on POSIX systems.
#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>

#include "platform/descriptor_posix.h"
#include "platform/file_access.h"
#include "platform/held_signals.h"
#include "platform/path_walk_posix.h"
#include "platform/process_end_posix.h"

namespace platform {
namespace {

// Writes a file just opened in place, from its start. A regular file is
// cut to `size` and flushed only once all of it is written: a write that
// fails half way leaves the rest of the old file as it was. Signals wait
// meanwhile, and a file size limit makes the write fail rather than end the
// program. A device or a FIFO is written as it comes: it may wait for a
// reader, and Ctrl+C must still end that wait.
FileWrite WriteThrough(int fd, bool regular, const unsigned char* data, std::uint32_t size) {
  FileWrite result;
  result.opened = true;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (!regular) {
    result.written = static_cast<std::uint32_t>(WriteFully(fd, data, size));
    return result;
  }
  const HeldSignals held;
  const std::uint32_t written = static_cast<std::uint32_t>(WriteFully(fd, data, size));
  const bool finished = written == size && ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0;
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

// The temporary file of a save under way, for RemoveTemporaryOfSave: its
// folder (-1 when there is none) and name. A process that foreign code
// ends on another thread keeps running here meanwhile: no new temporary
// file is begun once it is ending, and one being made is noted before the
// ending removes it.
volatile int g_temporary_folder = -1;
char g_temporary_name[64];
std::atomic<bool> g_ending{false};
std::atomic<bool> g_making_temporary{false};

void NoteTemporary(int folder_fd, const std::string& name) {
  g_temporary_folder = -1;
  if (folder_fd < 0 || name.size() >= sizeof g_temporary_name) return;
  std::memcpy(g_temporary_name, name.c_str(), name.size() + 1);
  g_temporary_folder = folder_fd;
}

// The process is ending: this thread waits for the end.
[[noreturn]] void AwaitTheEnd() {
  for (;;) ::pause();
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

// The access ACL goes with the file: where the old file has one, the group
// bits of its mode are the ACL's mask, and without the ACL they would give
// the owning group rights the ACL kept from it; where it has none, the new
// file keeps none that the folder's default ACL gave it. False where that
// cannot be done: the old file is then written in place.
bool TakeOverAcl(int fd, int existing_fd) {
  static const char kAcl[] = "system.posix_acl_access";
  char acl[4096];
  const ssize_t size = ::fgetxattr(existing_fd, kAcl, acl, sizeof acl);
  if (size >= 0) return ::fsetxattr(fd, kAcl, acl, static_cast<std::size_t>(size), 0) == 0;
  if (errno == ENOTSUP) return true;  // no ACLs on this file system
  if (errno != ENODATA) return false;
  return ::fremovexattr(fd, kAcl) == 0 || errno == ENODATA || errno == ENOTSUP;
}

// Whether a folder is marked append-only or immutable (chattr +a, +i): it
// takes no rename and keeps every file made in it, so a new file beside the
// old one would stay there for good.
bool KeepsEveryFile(int folder_fd) {
  const Descriptor readable(::openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // The flags are an int, the ioctl declared with a long: a buffer that
  // long, for tools that take the declaration at its word.
  int flags[2] = {};
  return readable.valid() && ::ioctl(readable.get(), FS_IOC_GETFLAGS, flags) == 0 &&
         (flags[0] & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

// The outcome of putting a new file in the place of `name`.
enum class Replaced { kDone, kFailed, kRefused };

// Writes the bytes to a new file in the folder and renames it over `name`.
// kRefused when the folder does not take a new file or the rename (nothing
// written, nothing left behind): the caller may then write the existing
// file in place.
Replaced ReplaceInFolder(int folder_fd, const std::string& name, const struct stat* existing, int existing_fd,
                         const unsigned char* data, std::uint32_t size, FileWrite& result, std::string* why) {
  // Ctrl+C and the like wait while a temporary file is in the folder.
  const HeldSignals held;
  std::string temporary;
  g_making_temporary = true;
  if (g_ending) AwaitTheEnd();
  Descriptor file(CreateTemporary(folder_fd, temporary));
  if (file.valid()) NoteTemporary(folder_fd, temporary);
  g_making_temporary = false;
  if (!file.valid()) {
    // Permissions (or a read-only file system) refuse the new file; a
    // lack of space or quota is a failure to save, with its reason.
    if (errno == EACCES || errno == EPERM || errno == EROFS) return Replaced::kRefused;
    *why = std::string("no new file can be made beside ") + name + ": " + std::strerror(errno);
    return Replaced::kFailed;
  }
  TakeOverAttributes(file.get(), existing);
  if (existing != nullptr && !TakeOverAcl(file.get(), existing_fd)) {
    file.Close();
    ::unlinkat(folder_fd, temporary.c_str(), 0);
    NoteTemporary(-1, temporary);
    return Replaced::kRefused;
  }
  result.opened = true;
  const std::uint32_t written = static_cast<std::uint32_t>(WriteFully(file.get(), data, size));
  const bool flushed = ::fsync(file.get()) == 0;
  const bool closed = file.Close();
  if (written != size || !flushed || !closed) {
    const int error = errno;
    ::unlinkat(folder_fd, temporary.c_str(), 0);
    NoteTemporary(-1, temporary);
    result.written = written != size ? written : 0;
    errno = error;
    return Replaced::kFailed;
  }
  const bool renamed = ::renameat(folder_fd, temporary.c_str(), folder_fd, name.c_str()) == 0;
  const int error = errno;
  NoteTemporary(-1, temporary);
  if (!renamed) {
    ::unlinkat(folder_fd, temporary.c_str(), 0);
    errno = error;
    // Refused by the folder or the file (permissions, a sticky folder, a
    // mount point, another file system) rather than a failure to write.
    if (error == EACCES || error == EPERM || error == EBUSY || error == EXDEV) return Replaced::kRefused;
    result.written = 0;
    return Replaced::kFailed;
  }
  // The rename itself lasts only once the folder is on disk. The walk's
  // descriptor only names the folder; flushing takes one opened for reading.
  const Descriptor readable(::openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (readable.valid()) ::fsync(readable.get());
  result.written = written;
  return Replaced::kDone;
}

}  // namespace

void RemoveTemporaryOfSave() {
  g_ending = true;
  // A temporary file being made is noted within moments; 100 ms at most.
  for (int wait = 0; g_making_temporary && wait < 100; ++wait) ::poll(nullptr, 0, 1);
  const int folder = g_temporary_folder;
  if (folder >= 0) ::unlinkat(folder, g_temporary_name, 0);
}

FileRead ReadFileStart(const char* path, void* buffer, std::uint32_t size, std::string* why) {
  FileRead result;
  std::string reason;
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  const int fd = file.get();
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    reason = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    reason = std::strerror(EISDIR);
  } else if (S_ISFIFO(info.st_mode)) {
    reason = "a FIFO, not a file";
  } else if (!(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode))) {
    reason = "neither a file nor a character device";
  } else {
    // A device is read the ordinary way, waiting for its data.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result.opened = true;
    if (S_ISREG(info.st_mode)) result.file_size = info.st_size;
    // A device has no size to tell: as much as the buffer takes.
    const bool sized = S_ISREG(info.st_mode) && info.st_size <= static_cast<off_t>(size);
    result.requested = sized ? static_cast<std::uint32_t>(info.st_size) : size;
    errno = 0;
    result.read = static_cast<std::uint32_t>(ReadFully(fd, buffer, result.requested));
    if (result.read == result.requested) return result;
    // A read that failed says why; one that met the end early (a file cut
    // meanwhile, /dev/null) says how far it got.
    reason = errno != 0 ? std::strerror(errno)
                        : "ended after " + std::to_string(result.read) + " of " +
                              std::to_string(result.requested) + " bytes";
  }
  if (why != nullptr) *why = std::string(path) + ": " + reason;
  return result;
}

namespace {

// The save itself. Each way it fails either leaves the failing call's errno
// or puts its own reason in `why`.
FileWrite WriteReplacing(const char* path, const unsigned char* bytes, std::uint32_t size, std::string* why) {
  const Destination destination = WalkSavePath(path, why);
  if (destination.kind == Destination::kRefused) return FileWrite();
  if (destination.kind == Destination::kThroughOpen) {
    // Standard output or another descriptor: appended, as a write to the
    // descriptor itself would be, never cut short.
    const Descriptor fd(::open(path, O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) return FileWrite();
    return WriteThrough(fd.get(), false, bytes, size);
  }
  const Descriptor folder(destination.folder);
  const std::string& name = destination.name;
  FileWrite result;
  struct stat seen {};
  if (::fstatat(folder.get(), name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) return FileWrite();
    if (KeepsEveryFile(folder.get())) {
      // Made where it belongs, once: nothing is left beside it.
      const Descriptor fd(::openat(folder.get(), name.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                                   ModeForNewFile()));
      return fd.valid() ? WriteThrough(fd.get(), true, bytes, size) : FileWrite();
    }
    return ReplaceInFolder(folder.get(), name, nullptr, -1, bytes, size, result, why) == Replaced::kRefused
               ? FileWrite()
               : result;
  }
  // A file or a FIFO that another user put in a shared folder is theirs to
  // read and rewrite: a backup saved there would not be the operator's.
  if ((S_ISREG(seen.st_mode) || S_ISFIFO(seen.st_mode)) && !Trusted(folder.get(), seen)) {
    *why = name + " in a shared folder belongs to another user";
    return result;
  }
  // The object written is the object looked at: no link is followed now,
  // and a file swapped in meanwhile is refused. Opening for writing also
  // tells whether the operator may write it; a FIFO with no reader does not
  // open (nothing waits for one).
  const Descriptor fd(
      ::openat(folder.get(), name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid() && errno == ENXIO && S_ISFIFO(seen.st_mode)) {
    *why = std::string(path) + ": a FIFO that nobody reads";
    return FileWrite();
  }
  struct stat opened {};
  if (!fd.valid() || ::fstat(fd.get(), &opened) != 0) return FileWrite();
  if (opened.st_dev != seen.st_dev || opened.st_ino != seen.st_ino) {
    *why = std::string(path) + ": another file took its place while it was opened";
    return FileWrite();
  }
  // A device or a FIFO is written in place.
  if (!S_ISREG(opened.st_mode)) return WriteThrough(fd.get(), false, bytes, size);
  if (!KeepsEveryFile(folder.get()) &&
      ReplaceInFolder(folder.get(), name, &opened, fd.get(), bytes, size, result, why) != Replaced::kRefused)
    return result;
  // The system lets the file be written but not replaced (a folder the
  // operator may not write, a file of the folder's owner in a sticky folder,
  // a file that is a mount point, an append-only folder, an ACL that does
  // not go over): written in place, as `echo > file` would. Only here can a failed write leave the old file
  // damaged.
  return WriteThrough(fd.get(), true, bytes, size);
}

}  // namespace

FileWrite WriteReplacingFile(const char* path, const void* data, std::uint32_t size, std::string* why) {
  std::string reason;
  errno = 0;
  const FileWrite result = WriteReplacing(path, static_cast<const unsigned char*>(data), size, &reason);
  const int error = errno;
  if (why == nullptr || (result.opened && result.written == size)) return result;
  if (!reason.empty()) {
    *why = reason;
  } else if (error != 0) {
    *why = std::string(path) + ": " + std::strerror(error);
  } else if (result.opened) {
    // A write that stopped short without the system saying why.
    *why = std::string(path) + ": " + std::to_string(result.written) + " of " + std::to_string(size) +
           " bytes were written";
  }
  return result;
}

}  // namespace platform
