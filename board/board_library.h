// Binding to the board access library: found through the registry, loaded
// once, unloaded when the run ends.
#ifndef VANTREL_BOARD_BOARD_LIBRARY_H
#define VANTREL_BOARD_BOARD_LIBRARY_H

#include "board/board_interface.h"
#include "platform/dynamic_library.h"

#include <string>

struct BoardLibrary {
  platform::LibraryHandle handle = nullptr;
  IBoardFactory* factory = nullptr;
};

extern BoardLibrary g_board_library;
// The board interface the factory created; the program never releases it.
extern IPLX9080* m_pci;

// Looks up the library's path (the value "path" of the key
// HKEY_LOCAL_MACHINE\SOFTWARE\Quenby\Ferrule\1.0\PLX9080) and loads it.
// Returns the factory, or null when the path cannot be read, the library
// cannot be loaded or it does not export StaticFactory; `why` (when given)
// then receives the reason, in one line for the operator.
IBoardFactory* LoadBoardLibrary(std::string* why = nullptr);

// Loads the library at `path` in place of any loaded one and returns its
// StaticFactory, or null (the reason in `why`, when given). A library
// without the export stays loaded.
IBoardFactory* LoadBoardLibraryFrom(const char* path, std::string* why = nullptr);

// Unloads the library if one is loaded and forgets the factory and the
// interface, which lived inside it.
void UnloadBoardLibrary();

#endif
