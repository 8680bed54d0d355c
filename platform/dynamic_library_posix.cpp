#include <dlfcn.h>

#include <cstring>

#include "platform/dynamic_library.h"

namespace platform {

// dlopen's own search (for a bare name) never looks in the current folder.
void RestrictLibrarySearch() {}

LibraryHandle LoadDynamicLibrary(const char* path, std::string* why) {
  // dlopen takes a name with a slash as a path, from the current folder
  // when it does not start at the root.
  if (path[0] != '/' && std::strchr(path, '/') != nullptr) {
    if (why != nullptr)
      *why =
          std::string("cannot load ") + path + ": a relative path would be looked up from the current folder";
    return nullptr;
  }
  LibraryHandle library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr && why != nullptr) {
    const char* error = ::dlerror();
    *why = error != nullptr ? error : std::string("cannot load ") + path;
  }
  return library;
}

void* FindLibrarySymbol(LibraryHandle library, const char* name) { return ::dlsym(library, name); }

void FreeDynamicLibrary(LibraryHandle library) { ::dlclose(library); }

bool IsInLoadedLibrary(const void* address) {
  Dl_info info = {};
  return ::dladdr(address, &info) != 0;
}

}  // namespace platform
