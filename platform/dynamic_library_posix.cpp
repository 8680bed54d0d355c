#include <dlfcn.h>

#include "platform/dynamic_library.h"

namespace platform {

LibraryHandle LoadDynamicLibrary(const char* path) { return ::dlopen(path, RTLD_NOW | RTLD_LOCAL); }

void* FindLibrarySymbol(LibraryHandle library, const char* name) { return ::dlsym(library, name); }

void FreeDynamicLibrary(LibraryHandle library) { ::dlclose(library); }

}  // namespace platform
