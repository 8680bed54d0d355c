#include "app/run_ending.h"

#include "app/board_call.h"
#include "app/press_any_key.h"
#include "board/board_library.h"
#include "platform/dynamic_library.h"

int EndRun(int status) {
  NoteRunStatus(status);
  // The library's finalisers run here, or, where the system keeps it
  // loaded, as the process ends.
  const void* const library_code = g_board_library.factory;
  BeginBoardCall("unloading the library");
  UnloadBoardLibrary();
  EndBoardCall();
  if (library_code != nullptr && platform::IsInLoadedLibrary(library_code))
    GuardBoardCodeToTheEnd("unloading the library");
  return status;
}

int FinishRun(int status) {
  NoteRunStatus(status);
  PressAnyKeyToExit();
  return EndRun(status);
}
