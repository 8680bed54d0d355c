#include "app/run_ending.h"

#include "app/board_call.h"
#include "app/press_any_key.h"
#include "board/board_library.h"

int EndRun(int status) {
  // The library's finalisers run here.
  BeginBoardCall("unloading the library");
  UnloadBoardLibrary();
  EndBoardCall();
  return status;
}

int FinishRun(int status) {
  PressAnyKeyToExit();
  return EndRun(status);
}
