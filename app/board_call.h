// Calls into the board library. The library is foreign code: should it crash
// (a fault, an exception nobody catches) or end the process itself (exit),
// the operator still learns which operation it was, and, after WriteFlash,
// that the EEPROM may be half new, or after a save, that the file is good;
// the status is a failure's. Its load and unload count as calls too
// ("loading the library", "unloading the library"): they run its
// initialisers and finalisers.
//
// Every call the run makes goes through one of the Guarded functions below,
// each with its operation's name fixed inside.
#ifndef VANTREL_APP_BOARD_CALL_H
#define VANTREL_APP_BOARD_CALL_H

#include <cstdint>
#include <string>

#include "board/board_interface.h"
#include "eeprom/eeprom_image.h"

// LoadBoardLibrary: the factory, or null with the reason in `why`.
IBoardFactory* GuardedLoadBoardLibrary(std::string* why);
// The factory's CreateInterface for the "IPLX9080" interface.
IPLX9080* GuardedCreateInterface(IBoardFactory& factory);
// m_pci's operations on the current interface.
std::int32_t GuardedInitDevice(std::int32_t board);
std::uint32_t GuardedQueryBoardId();
std::int32_t GuardedReadFlash(EepromImage& image);
std::int32_t GuardedWriteFlash(const EepromImage& image);
// UnloadBoardLibrary. Where the system keeps the library loaded after it
// is freed, its finalisers run as the process ends, and a crash there is
// still told as one in "unloading the library".
void GuardedUnloadBoardLibrary();

// From here on the lines of a crash or an exit say that the file was saved.
void NoteFileSaved();
// The run has come to `status` (its result line is out): a library thread
// that ends the process from here on leaves that status, not a failure's.
void NoteRunStatus(int status);
// Right before main returns: an exit() is the program's own again. Between
// calls until then, a crash on one of the library's own threads, or an exit
// from anywhere, ends the run with a line naming the operation called last
// ("... after OPERATION").
void EndBoardGuard();

#endif
