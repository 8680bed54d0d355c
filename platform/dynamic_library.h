// Loading a shared library and finding an exported symbol in it.
#ifndef VANTREL_PLATFORM_DYNAMIC_LIBRARY_H
#define VANTREL_PLATFORM_DYNAMIC_LIBRARY_H

#include <string>

namespace platform {

// Opaque handle of a loaded library; null when nothing is loaded.
using LibraryHandle = void*;

// Loads the library at `path`; null when it cannot be loaded, with the
// loader's own words in `why` (when given).
LibraryHandle LoadDynamicLibrary(const char* path, std::string* why = nullptr);

// The address of the exported symbol `name`, or null when it is not exported.
void* FindLibrarySymbol(LibraryHandle library, const char* name);

void FreeDynamicLibrary(LibraryHandle library);

}  // namespace platform

#endif
