// Image files: reading one whole, and replacing one so that a failure never
// costs the file that was there.
#ifndef VANTREL_PLATFORM_FILE_ACCESS_H
#define VANTREL_PLATFORM_FILE_ACCESS_H

#include <cstdint>
#include <string>

namespace platform {

struct FileRead {
  bool opened = false;
  std::uint32_t requested = 0;  // the file's size, at most the buffer's
  std::uint32_t read = 0;       // bytes actually read
  std::int64_t file_size = -1;  // a disk file's whole size; -1 for a device
};

// Opens an existing file for reading (others may read it meanwhile), takes
// its size, reads that many bytes but at most `size` into `buffer`, and
// closes it. A size that cannot be told (a device; on Windows anything
// that is not a disk file) counts as more than `size`. On POSIX only
// regular files and character devices open; a directory or a FIFO does
// not, and nothing blocks on opening.
//
// `why` (when given) receives the reason when the file does not open or
// fewer bytes than requested come in: "PATH: " and the system's words, or
// what the file is instead of a file.
FileRead ReadFileStart(const char* path, void* buffer, std::uint32_t size, std::string* why = nullptr);

struct FileWrite {
  bool opened = false;  // false: nothing could be created
  // The bytes that reached `path`: fewer than the size when writing,
  // flushing or putting the new file in its place failed.
  std::uint32_t written = 0;
};

// Puts `size` bytes at `path`. A regular file (or a new path) is replaced as
// a whole: the bytes go to a new file of an unpredictable name in the same
// folder, flushed to disk, which then takes the old file's place; on failure
// the new file is removed and the old one stays as it was. Ctrl+C and the
// like wait until the new file is in place or gone. The replacement keeps
// the old file's permissions, and its owner and group where the operator
// may set them. Where the system refuses the replacement but lets the file
// be written (POSIX: a folder the operator may not write, a sticky folder, a
// mount point), the file is written in place.
//
// A symbolic link stays and the file it points to is replaced. On POSIX the
// path is walked one part at a time: in a sticky, world-writable folder
// (/tmp) a folder, link or file is entered, followed or written only when
// it belongs to the operator or the folder's owner, in a world-writable
// folder without the sticky bit only when it is the operator's (`why` then
// names it); a link to an open descriptor (/dev/stdout, /dev/fd/N) is
// written through.
// Anything else that exists at `path` (a device, a FIFO with a reader) is
// opened and written in place; nothing waits for a FIFO's reader.
//
// `why` (when given) receives the reason of a failure: "PATH: " and the
// system's words where the system said why, else what the save found (a
// file or link another user planted in a shared folder, a FIFO nobody
// reads, no space for the new file, an old file that could not be put
// back). It is left as it was after a save that worked.
FileWrite WriteReplacingFile(const char* path, const void* data, std::uint32_t size,
                             std::string* why = nullptr);

}  // namespace platform

#endif
