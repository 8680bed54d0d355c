#include <windows.h>

#include <cstring>

#include "platform/dynamic_library.h"
#include "platform/system_error_win32.h"

namespace platform {

LibraryHandle LoadDynamicLibrary(const char* path, std::string* why) {
  const HMODULE library = LoadLibraryA(path);
  if (library == nullptr && why != nullptr)
    *why = std::string("cannot load ") + path + ": " + ErrorText(GetLastError());
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

}  // namespace platform
