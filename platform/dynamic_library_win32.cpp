#include <windows.h>

#include <cstring>

#include "platform/dynamic_library.h"
#include "platform/system_error_win32.h"

namespace platform {
namespace {

// How the board library is loaded once the search is restricted.
DWORD g_load_flags = 0;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "C:\x.dll", "\\server\share\x.dll" and "\\?\C:\x.dll" name one file
// whatever the current folder; "\x.dll" (the current drive) and "C:x.dll"
// (the current folder of drive C) do not.
bool IsFullPath(const char* path) {
  if (IsSeparator(path[0])) return IsSeparator(path[1]);
  return path[0] != '\0' && path[1] == ':' && IsSeparator(path[2]);
}

bool IsBareName(const char* path) { return std::strpbrk(path, "\\/:") == nullptr; }

}  // namespace

void RestrictLibrarySearch() {
  // SetDefaultDllDirectories came with Windows 8 (and KB2533623 for 7):
  // looked up, so that the program still starts where it is missing.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const FARPROC address = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
  SetDefaultDllDirectoriesFunction set_default = nullptr;
  static_assert(sizeof(set_default) == sizeof(address), "code pointers differ in size");
  std::memcpy(&set_default, &address, sizeof(set_default));
  if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    // A library's own dependencies come from its folder and System32 only.
    g_load_flags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
  } else {
    // The current folder out of the search; dependencies from the library's
    // folder first.
    SetDllDirectoryA("");
    g_load_flags = LOAD_WITH_ALTERED_SEARCH_PATH;
  }
}

LibraryHandle LoadDynamicLibrary(const char* path, std::string* why) {
  const bool bare = IsBareName(path);
  if (!bare && !IsFullPath(path)) {
    if (why != nullptr)
      *why =
          std::string("cannot load ") + path + ": a relative path would be looked up from the current folder";
    return nullptr;
  }
  // A bare name is looked for where the system looks by default (after
  // RestrictLibrarySearch: System32 only), never in the current folder.
  const HMODULE library = LoadLibraryExA(path, nullptr, bare ? 0 : g_load_flags);
  if (library == nullptr && why != nullptr)
    *why = std::string("cannot load ") + path + ": " + ErrorText(GetLastError(), path);
  return library;
}

void* FindLibrarySymbol(LibraryHandle library, const char* name) {
  // The export may be data (an object) as well as code; hand its address back
  // as a plain pointer.
  const FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
  void* result = nullptr;
  static_assert(sizeof(result) == sizeof(address), "code and data pointers differ in size");
  std::memcpy(&result, &address, sizeof(result));
  return result;
}

void FreeDynamicLibrary(LibraryHandle library) { FreeLibrary(static_cast<HMODULE>(library)); }

bool IsInLoadedLibrary(const void* address) {
  HMODULE module = nullptr;
  return GetModuleHandleExA(
             GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
             static_cast<LPCSTR>(address), &module) != FALSE;
}

}  // namespace platform
