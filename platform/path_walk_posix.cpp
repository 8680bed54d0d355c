// The walk of a save's path on POSIX systems.
#include "platform/path_walk_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/descriptor_posix.h"

// Outside Linux, a folder descriptor is one opened for reading.
#ifndef O_PATH
#define O_PATH O_RDONLY
#endif

namespace platform {
namespace {

// The path of a folder, for the few checks that need its name.
std::string PathOfFolder(int folder_fd) {
  char path[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(folder_fd);
  const ssize_t length = ::readlink(link.c_str(), path, sizeof path);
  return length > 0 && static_cast<std::size_t>(length) < sizeof path ? std::string(path, length) : "";
}

// `text` from `at` on starts with `prefix`; `at` moves past it.
bool Take(const std::string& text, std::size_t& at, const char* prefix) {
  const std::size_t length = std::strlen(prefix);
  if (text.compare(at, length, prefix) != 0) return false;
  at += length;
  return true;
}

// One or more digits from `at` on; `at` moves past them.
bool TakeDigits(const std::string& text, std::size_t& at) {
  const std::size_t first = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  return at > first;
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

Destination ThroughOpen() {
  Destination through;
  through.kind = Destination::kThroughOpen;
  return through;
}

// Nothing may be written there; `reason`, where there is one, goes to `why`.
// Without one, errno tells why: the failing call's, or the one given.
Destination Refused(std::string* why = nullptr, const std::string& reason = std::string()) {
  if (why != nullptr && !reason.empty()) *why = reason;
  return Destination();
}
Destination Refused(int error) {
  errno = error;
  return Destination();
}

// The parts of `path` between its slashes, last part first.
void PushParts(const std::string& path, std::vector<std::string>& pending) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  while (begin <= path.size()) {
    const std::size_t slash = std::min(path.find('/', begin), path.size());
    if (slash > begin) parts.push_back(path.substr(begin, slash - begin));
    begin = slash + 1;
  }
  pending.insert(pending.end(), parts.rbegin(), parts.rend());
}

}  // namespace

bool Trusted(int folder_fd, const struct stat& entry) {
  struct stat folder {};
  if (::fstat(folder_fd, &folder) != 0) return false;
  if ((folder.st_mode & S_IWOTH) == 0 || entry.st_uid == ::geteuid()) return true;
  return (folder.st_mode & S_ISVTX) != 0 && entry.st_uid == folder.st_uid;
}

bool IsDescriptorFolderPath(const std::string& path) {
  std::size_t at = 0;
  if (!Take(path, at, "/proc/") || !TakeDigits(path, at)) return false;
  if (Take(path, at, "/task/") && !TakeDigits(path, at)) return false;
  return Take(path, at, "/fd") && at == path.size();
}

Destination WalkSavePath(const std::string& path, std::string* why) {
  // As the system itself: no path of PATH_MAX bytes or more.
  if (path.empty()) return Refused(ENOENT);
  if (path.size() >= PATH_MAX) return Refused(ENAMETOOLONG);
  // A path that ends in a slash names a folder.
  if (path.back() == '/') return Refused(EISDIR);
  Descriptor folder(::open(path[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder.valid()) return Refused();
  std::vector<std::string> pending;
  PushParts(path, pending);
  int hops = 0;
  while (!pending.empty()) {
    const std::string part = pending.back();
    pending.pop_back();
    const bool last = pending.empty();
    if (part == "." || part == "..") {
      if (last) return Refused(EISDIR);
      if (part == "..") folder.Reset(::openat(folder.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!folder.valid()) return Refused();
      continue;
    }
    struct stat info {};
    if (::fstatat(folder.get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      // A path the system cannot even look up (a file where a folder
      // should be, no search permission) is refused; a last part that does
      // not exist yet is the new file's name.
      if (errno != ENOENT || !last) return Refused();
      info.st_mode = 0;
    }
    if (S_ISLNK(info.st_mode)) {
      if (last && IsDescriptorFolderPath(PathOfFolder(folder.get()))) return ThroughOpen();
      if (!Trusted(folder.get(), info))
        return Refused(why, "the link " + part + " in a shared folder belongs to another user");
      // As many links as the kernel follows before it gives up with ELOOP.
      if (++hops > 40) return Refused(ELOOP);
      std::vector<char> link(static_cast<std::size_t>(info.st_size) + 256);
      const ssize_t length = ::readlinkat(folder.get(), part.c_str(), link.data(), link.size());
      if (length < 0) return Refused();
      if (length == 0 || static_cast<std::size_t>(length) >= link.size()) return Refused(ENOENT);
      const std::string destination(link.data(), static_cast<std::size_t>(length));
      if (last && NamesNoPath(destination)) return ThroughOpen();
      if (last && destination.back() == '/') return Refused(EISDIR);
      if (destination[0] == '/') folder.Reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (!folder.valid()) return Refused();
      PushParts(destination, pending);
      continue;
    }
    if (last) {
      Destination found;
      found.kind = Destination::kInFolder;
      found.name = part;
      found.folder = folder.Release();
      return found;
    }
    if (S_ISDIR(info.st_mode) && !Trusted(folder.get(), info))
      return Refused(why, "the folder " + part + " in a shared folder belongs to another user");
    // The folder opened is the one judged: refused if another took its
    // place meanwhile.
    Descriptor next(::openat(folder.get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (!next.valid() || ::fstat(next.get(), &opened) != 0) return Refused();
    if (opened.st_dev != info.st_dev || opened.st_ino != info.st_ino)
      return Refused(why, "another folder took the place of " + part + " while it was opened");
    folder.Reset(next.Release());
  }
  return Refused(EISDIR);
}

}  // namespace platform
