#include "app/run_ending.h"

#include "app/press_any_key.h"
#include "board/board_library.h"

int EndRun() {
  UnloadBoardLibrary();
  return 0;
}

int FinishRun() {
  PressAnyKeyToExit();
  return EndRun();
}
