// Image files on Windows.
#include <windows.h>

#include <string>

#include "platform/file_access.h"

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

// True for a disk file; false for a device, a pipe or the console.
bool IsDiskFile(const char* path) {
  const HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  const bool disk = GetFileType(file) == FILE_TYPE_DISK;
  CloseHandle(file);
  return disk;
}

FileWrite WriteFileAt(const char* path, const void* data, std::uint32_t size, bool flush) {
  FileWrite result;
  const HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return result;
  result.opened = true;
  DWORD written = 0;
  // Only the count tells whether the write went through.
  WriteFile(file, data, size, &written, nullptr);
  const bool flushed = !flush || FlushFileBuffers(file);
  CloseHandle(file);
  result.written = flushed ? written : 0;
  return result;
}

}  // namespace

FileRead ReadFileStart(const char* path, void* buffer, std::uint32_t size) {
  FileRead result;
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return result;
  result.opened = true;
  DWORD high = 0;
  const DWORD low = GetFileSize(file, &high);
  // A size that cannot be told counts as more than the buffer, and so does
  // a file of 4 GB or more, whatever its low 32 bits say.
  const bool sized = !(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) && high == 0 && low <= size;
  result.requested = sized ? low : size;
  DWORD read = 0;
  ReadFile(file, buffer, result.requested, &read, nullptr);
  CloseHandle(file);
  result.read = read;
  return result;
}

FileWrite WriteReplacingFile(const char* path, const void* data, std::uint32_t size) {
  const DWORD attributes = GetFileAttributesA(path);
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsDiskFile(path))) {
    return WriteFileAt(path, data, size, false);
  }
  // A read-only file stays protected, as it would be when written in place.
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return FileWrite();
  std::string target = path;
  if (exists && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    target = FinalTarget(path);
    if (target.empty()) return FileWrite();
  }

  char temporary[MAX_PATH];
  if (GetTempFileNameA(FolderOf(target).c_str(), "vtr", 0, temporary) == 0) return FileWrite();
  FileWrite result = WriteFileAt(temporary, data, size, true);
  if (result.written == size &&
      MoveFileExA(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return result;
  }
  DeleteFileA(temporary);
  // Written in full but not put in place: the target did not get the bytes.
  if (result.written == size) result.written = 0;
  return result;
}

}  // namespace platform
