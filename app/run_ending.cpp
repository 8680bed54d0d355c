#include "app/run_ending.h"

#include <iostream>

#include "app/board_call.h"
#include "platform/key_press.h"

void PressAnyKeyToExit() {
  std::cout << "Press any key to exit..." << std::endl;
  platform::WaitForKeyPress();
}

int EndRun(int status) {
  NoteRunStatus(status);
  // The library's finalisers run here, or, where the system keeps it
  // loaded, as the process ends.
  GuardedUnloadBoardLibrary();
  return status;
}

int FinishRun(int status) {
  NoteRunStatus(status);
  PressAnyKeyToExit();
  return EndRun(status);
}
