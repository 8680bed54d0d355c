// Loading a shared library and finding an exported symbol in it.
#ifndef VANTREL_PLATFORM_DYNAMIC_LIBRARY_H
#define VANTREL_PLATFORM_DYNAMIC_LIBRARY_H

#include <string>

namespace platform {

// Opaque handle of a loaded library; null when nothing is loaded.
using LibraryHandle = void*;

// Takes the current folder out of the places libraries (and the libraries
// they need) are looked for: a file dropped into the folder the program
// runs from never runs as part of it. Called once at start, before any
// library is loaded. On Windows a library's own dependencies then come from
// its folder and System32; on POSIX dlopen never searched the current
// folder, and nothing changes.
void RestrictLibrarySearch();

// Loads the library at `path`: a full path, or a bare file name that the
// system's restricted search finds. A relative path with a folder in it
// would be looked up from the current folder and is refused. Null when the
// library cannot be loaded, with the reason in `why` (when given).
LibraryHandle LoadDynamicLibrary(const char* path, std::string* why = nullptr);

// The address of the exported symbol `name`, or null when it is not exported.
void* FindLibrarySymbol(LibraryHandle library, const char* name);

void FreeDynamicLibrary(LibraryHandle library);

// Whether `address` lies in a library that is still loaded. A library the
// system cannot unload (on Linux one with unique symbols, as C++ inline
// variables give, or linked with -z nodelete) stays after
// FreeDynamicLibrary, and runs its finalisers only as the process ends.
bool IsInLoadedLibrary(const void* address);

}  // namespace platform

#endif
