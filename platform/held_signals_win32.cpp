// Holding the console's signals on Windows.
#include "platform/held_signals.h"

#include <windows.h>

namespace platform {
namespace {

// Set while nothing is held: a handler that runs then returns at once.
HANDLE g_released = nullptr;

BOOL WINAPI WaitUntilReleased(DWORD) {
  WaitForSingleObject(g_released, INFINITE);
  return FALSE;
}

}  // namespace

HeldSignals::HeldSignals() {
  if (g_released == nullptr) g_released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(g_released);
  SetConsoleCtrlHandler(WaitUntilReleased, TRUE);
}

HeldSignals::~HeldSignals() {
  SetEvent(g_released);
  SetConsoleCtrlHandler(WaitUntilReleased, FALSE);
}

}  // namespace platform
