#include <conio.h>

#include <cstdio>

#include "platform/key_press.h"

namespace platform {

int WaitForKeyPress() {
  const int code = _getch();
  // The runtime answers EOF (or its wide form) when there is no console.
  return code == EOF || code == 0xFFFF ? kEndOfInput : code;
}

}  // namespace platform
