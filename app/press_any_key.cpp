#include "app/press_any_key.h"

#include <iostream>

#include "platform/key_press.h"

void PressAnyKeyToExit() {
  std::cout << "Press any key to exit..." << std::endl;
  platform::WaitForKeyPress();
}
