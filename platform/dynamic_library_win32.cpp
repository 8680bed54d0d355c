#include <windows.h>

#include <cstring>

#include "platform/dynamic_library.h"

namespace platform {

LibraryHandle LoadDynamicLibrary(const char* path) { return LoadLibraryA(path); }

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
