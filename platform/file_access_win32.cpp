// Image files on Windows.
#include <windows.h>
// After windows.h: RtlGenRandom, the system's random bytes.
#include <ntsecapi.h>

#include <cstdio>
#include <string>

#include "platform/file_access.h"
#include "platform/held_signals.h"
#include "platform/replace_recovery.h"
#include "platform/system_error_win32.h"

namespace platform {
namespace {

// The folder part of a path, usable as GetTempFileNameA's folder.
std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) {
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  }
  // "\name" and "C:\name" keep their root.
  if (separator == 0 || path[separator - 1] == ':') return path.substr(0, separator + 1);
  return path.substr(0, separator);
}

// Where a path that is a symbolic link (or another reparse point) ends up.
std::string FinalTarget(const char* path) {
  const HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  char final_path[MAX_PATH * 4];
  const DWORD length = GetFinalPathNameByHandleA(file, final_path, sizeof final_path, FILE_NAME_NORMALIZED);
  CloseHandle(file);
  if (length == 0 || length >= sizeof final_path) return std::string();
  return std::string(final_path, length);
}

// A name nobody can guess ahead of the save, so that nobody can block it by
// creating the file first (GetTempFileNameA counts up from a known start).
std::string RandomName() {
  unsigned char noise[8] = {};
  if (!RtlGenRandom(noise, sizeof noise)) {
    const DWORD fallback[2] = {GetTickCount(), GetCurrentProcessId() ^ GetCurrentThreadId()};
    memcpy(noise, fallback, sizeof noise);
  }
  std::string name = "vtr";
  for (const unsigned char byte : noise) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", byte);
    name += hex;
  }
  return name + ".tmp";
}

// `name` in `folder`, a folder as FolderOf gives it.
std::string InFolder(const std::string& folder, const std::string& name) {
  const bool ends = folder.empty() || folder.back() == '\\' || folder.back() == '/' || folder.back() == ':';
  return (ends ? folder : folder + "\\") + name;
}

// Creates a new file of a name no other file has in `folder`; INVALID_HANDLE_VALUE
// when none can be created there.
HANDLE CreateTemporary(const std::string& folder, std::string& path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = InFolder(folder, RandomName());
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// Writes `size` bytes through `file` and closes it; the count that went
// through, or 0 when flushing failed after a complete write.
std::uint32_t WriteAndClose(HANDLE file, const void* data, std::uint32_t size, bool flush) {
  DWORD written = 0;
  // Only the count tells whether the write went through; the error of the
  // write or the flush stays the last error for the reason.
  const bool wrote = WriteFile(file, data, size, &written, nullptr);
  DWORD error = wrote ? NO_ERROR : GetLastError();
  const bool flushed = !flush || FlushFileBuffers(file);
  if (wrote && !flushed) error = GetLastError();
  CloseHandle(file);
  SetLastError(error);
  return flushed ? written : 0;
}

// The attributes a replacing file takes over from the file it replaces.
// Read-only never gets here (such a file is refused); archive is set on
// the new file anyway, its contents being new.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::string FullPath(const std::string& path) {
  char full[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return length == 0 || length >= sizeof full ? path : std::string(full, length);
}

// Wine's ReplaceFileA, given a symbolic link (which Wine shows as a plain
// file), deletes the file the link points to.
bool UnderWine() {
  static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

// Puts the written and flushed `temporary` at `target`. An existing file is
// replaced with ReplaceFileA, which keeps its security descriptor and its
// alternate streams; its attributes (hidden, system) are given to the new
// file first. It is given a backup name, so that a replacement that stops
// half way never loses the old file (see ReplaceKeepingTheOld). A new file,
// and any file under Wine, is moved into place. False with the system's
// error as the last error; `why` says where the old file is if it could
// not be put back.
bool PutInPlace(const std::string& temporary, const std::string& target, bool exists, std::string* why) {
  const DWORD old_attributes = exists ? GetFileAttributesA(target.c_str()) : INVALID_FILE_ATTRIBUTES;
  if (old_attributes != INVALID_FILE_ATTRIBUTES && (old_attributes & kKeptAttributes) != 0 &&
      !SetFileAttributesA(temporary.c_str(), (old_attributes & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE)) {
    return false;
  }
  if (!exists || UnderWine()) {
    return MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  // Full paths: some implementations place their own working file in the
  // folder part of the name they are given.
  const std::string backup = FullPath(InFolder(FolderOf(target), RandomName()));
  bool lost = false;
  const DWORD error = ReplaceKeepingTheOld(
      [](const std::string& replaced, const std::string& replacement, const std::string& backup_name) {
        return ReplaceFileA(replaced.c_str(), replacement.c_str(), backup_name.c_str(), 0, nullptr, nullptr)
                   ? DWORD{0}
                   : GetLastError();
      },
      [](const std::string& from, const std::string& to) {
        return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
      },
      [](const std::string& name) { DeleteFileA(name.c_str()); }, FullPath(target), FullPath(temporary),
      backup, lost);
  if (lost) *why = "the old file could not be put back and is now " + backup;
  SetLastError(error);
  return error == 0;
}

// The device a save target names, or "" for a disk file or no file yet.
// Besides names that open as a device (CONOUT$, COM1), Windows turns any
// name whose stem is a device (nul.bin, con.bin, NUL.) into the device
// itself, which its full path shows (\\.\nul).
std::string DeviceOf(const char* path) {
  const std::string full = FullPath(path);
  if (full.rfind("\\\\.\\", 0) == 0) return full.substr(4);
  const HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  const DWORD type = GetFileType(file);
  CloseHandle(file);
  return type == FILE_TYPE_DISK ? std::string() : path;
}

// The one device a save may go to: NUL named bare, the operator's way to
// see a board's report without keeping it, as /dev/null is elsewhere.
bool IsBareNul(const char* path) { return _stricmp(path, "NUL") == 0; }

// An existing disk file written in place: from its start, then cut to `size`.
FileWrite WriteExistingInPlace(const std::string& path, const void* data, std::uint32_t size) {
  FileWrite result;
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return result;
  result.opened = true;
  DWORD written = 0;
  const bool wrote = WriteFile(file, data, size, &written, nullptr);
  DWORD error = wrote ? NO_ERROR : GetLastError();
  const bool finished = SetEndOfFile(file) && FlushFileBuffers(file);
  if (wrote && !finished) error = GetLastError();
  CloseHandle(file);
  SetLastError(error);
  result.written = written == size && !finished ? 0 : written;
  return result;
}

// A device (or anything that is not a disk file) written as it is.
FileWrite WriteDevice(const char* path, const void* data, std::uint32_t size) {
  FileWrite result;
  const HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return result;
  result.opened = true;
  result.written = WriteAndClose(file, data, size, false);
  return result;
}

}  // namespace

FileRead ReadFileStart(const char* path, void* buffer, std::uint32_t size, std::string* why) {
  FileRead result;
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (why != nullptr) *why = std::string(path) + ": " + ErrorText(GetLastError(), path);
    return result;
  }
  result.opened = true;
  DWORD high = 0;
  const DWORD low = GetFileSize(file, &high);
  const bool size_told = !(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
  // A size that cannot be told counts as more than the buffer, and so does
  // a file of 4 GB or more, whatever its low 32 bits say. Only a disk file
  // has a size to trust: a device (NUL, COM1, and aux.bin or nul.bin, which
  // name the devices too) reports 0 and is asked for the whole buffer.
  const bool sized = size_told && GetFileType(file) == FILE_TYPE_DISK && high == 0 && low <= size;
  result.requested = sized ? low : size;
  if (size_told && GetFileType(file) == FILE_TYPE_DISK) {
    result.file_size = static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
  }
  DWORD read = 0;
  const bool failed = !ReadFile(file, buffer, result.requested, &read, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  result.read = read;
  if (read != result.requested && why != nullptr) {
    *why = std::string(path) + ": " +
           (failed ? ErrorText(error, path)
                   : "ended after " + std::to_string(read) + " of " + std::to_string(result.requested) +
                         " bytes");
  }
  return result;
}

namespace {

// The save itself. Each way it fails either leaves the failing call's error
// as the last error or puts its own reason in `why`.
FileWrite WriteReplacing(const char* path, const void* data, std::uint32_t size, std::string* why) {
  if (IsBareNul(path)) return WriteDevice(path, data, size);
  const std::string device = DeviceOf(path);
  if (!device.empty()) {
    if (why != nullptr) *why = std::string(path) + " names the device " + device + ", not a file";
    return FileWrite();
  }
  const DWORD attributes = GetFileAttributesA(path);
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return WriteDevice(path, data, size);
  // A read-only file stays protected, as it would be when written in place.
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    *why = std::string(path) + ": the file is read-only";
    return FileWrite();
  }
  std::string target = path;
  if (exists && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    target = FinalTarget(path);
    if (target.empty()) return FileWrite();
  }

  FileWrite result;
  {
    // Ctrl+C and the like wait while a temporary file is in the folder.
    const HeldSignals held;
    std::string temporary;
    std::string lost;
    const HANDLE file = CreateTemporary(FolderOf(target), temporary);
    if (file != INVALID_HANDLE_VALUE) {
      result.opened = true;
      result.written = WriteAndClose(file, data, size, true);
      const bool in_place = result.written == size && PutInPlace(temporary, target, exists, &lost);
      *why = lost;
      if (in_place) return result;
      const DWORD error = GetLastError();
      DeleteFileA(temporary.c_str());
      SetLastError(error);
      // Written in full but not put in place: the target did not get the bytes.
      if (result.written != size) return result;
      result.written = 0;
      const bool refused = error == ERROR_ACCESS_DENIED || error == ERROR_NOT_SAME_DEVICE ||
                           error == kUnableToRemoveReplaced || error == kUnableToMoveReplacement ||
                           error == kUnableToMoveReplacement2;
      if (!exists || !refused || !lost.empty()) return result;
    } else if (!exists) {
      return result;
    }
  }
  // The system lets the file be written but not replaced (a folder the
  // operator may not write to): written in place. Only here can a failed
  // write leave the old file damaged.
  return WriteExistingInPlace(target, data, size);
}

}  // namespace

FileWrite WriteReplacingFile(const char* path, const void* data, std::uint32_t size, std::string* why) {
  std::string reason;
  SetLastError(NO_ERROR);
  const FileWrite result = WriteReplacing(path, data, size, &reason);
  const DWORD error = GetLastError();
  if (why == nullptr || (result.opened && result.written == size)) return result;
  if (!reason.empty()) {
    *why = reason;
  } else if (error != NO_ERROR) {
    *why = std::string(path) + ": " + ErrorText(error, path);
  } else if (result.opened) {
    // A write that stopped short without the system saying why.
    *why = std::string(path) + ": " + std::to_string(result.written) + " of " + std::to_string(size) +
           " bytes were written";
  }
  return result;
}

}  // namespace platform
