#include <dlfcn.h>

#include "platform/dynamic_library.h"

namespace platform {

LibraryHandle LoadDynamicLibrary(const char* path, std::string* why) {
  LibraryHandle library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr && why != nullptr) {
    const char* error = ::dlerror();
    *why = error != nullptr ? error : std::string("cannot load ") + path;
  }
  return library;
}

void* FindLibrarySymbol(LibraryHandle library, const char* name) { return ::dlsym(library, name); }

void FreeDynamicLibrary(LibraryHandle library) { ::dlclose(library); }

}  // namespace platform
