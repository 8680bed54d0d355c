// The walk of a save's path on POSIX systems: one part at a time, each link
// on the way followed by the walk itself under the rule for folders that
// others may write, so that what a save replaces is what was judged.
#ifndef VANTREL_PLATFORM_PATH_WALK_POSIX_H
#define VANTREL_PLATFORM_PATH_WALK_POSIX_H

#include <sys/stat.h>

#include <string>

namespace platform {

// The rule for folders that others may write. In a sticky one (as /tmp),
// where only owners may delete or rename, a folder, link or file is trusted
// only when it belongs to the operator or to the folder's owner, so that no
// other user can plant one that turns a save against a file of the
// operator's, or keeps the saved image for themselves. In one without the
// sticky bit anyone may rename anything, so only the operator's own entries
// are trusted. The kernel applies a rule like this only to what it reaches
// itself (and only where fs.protected_symlinks and fs.protected_regular say
// so); the save walks its paths itself. Folders that only a group may write
// are left to that group.
bool Trusted(int folder_fd, const struct stat& entry);

// Where a save to a path goes once the links on the way are followed.
struct Destination {
  enum Kind {
    kRefused,      // nothing may be written there
    kThroughOpen,  // an open descriptor of some process: written in place through open()
    kInFolder      // `name` in the folder `folder`: a file (no link) or no file yet
  } kind = kRefused;
  int folder = -1;  // kInFolder: a descriptor (O_PATH) the caller closes
  std::string name;
};

// Walks `path` from the root or the current folder. A planted link is
// refused wherever it stands in the path, not only at its end. Each folder
// is opened without following a link (O_NOFOLLOW), so the folder reached is
// the one that was checked; the save then creates and renames relative to
// it. A link to an open descriptor (/dev/stdout, /proc/self/fd/N) or to
// something with no path (a pipe) is written through. A refusal that the
// system's own error would not explain (an entry another user planted)
// gives its reason in `why`, when given.
Destination WalkSavePath(const std::string& path, std::string* why = nullptr);

// Whether `path` names a folder of /proc whose entries are the descriptors
// a process or one of its threads holds: /proc/PID/fd, /proc/PID/task/TID/fd.
bool IsDescriptorFolderPath(const std::string& path);

}  // namespace platform

#endif
