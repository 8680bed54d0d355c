#include "app/run_ending.h"

#include "app/press_any_key.h"
#include "board/board_library.h"

int EndRun(int status) {
  UnloadBoardLibrary();
  return status;
}

int FinishRun(int status) {
  PressAnyKeyToExit();
  return EndRun(status);
}
