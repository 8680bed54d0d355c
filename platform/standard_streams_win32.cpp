#include <windows.h>

#include "platform/console_keyboard_win32.h"
#include "platform/standard_streams.h"

namespace platform {
namespace {

HANDLE g_console_input = INVALID_HANDLE_VALUE;
DWORD g_saved_input_mode = 0;

// Runs on a thread of its own when Ctrl+Break (or Ctrl+C while processed
// input is on) ends the process, or the console is closed: a key wait may
// have switched the input mode off (a key wait reads raw records), and the
// console would stay that way for whatever runs in it next.
BOOL WINAPI PutInputModeBackOnEnd(DWORD) {
  RestoreStandardStreams();
  return FALSE;  // the next handler, the system's, ends the process
}

}  // namespace

void PrepareStandardStreams() {
  // The console's own input, which key waits read whatever standard input is;
  // kept open for the run.
  g_console_input = OpenConsoleInput(g_saved_input_mode);
  if (g_console_input == INVALID_HANDLE_VALUE) return;
  SetConsoleCtrlHandler(PutInputModeBackOnEnd, TRUE);
}

void RestoreStandardStreams() {
  if (g_console_input != INVALID_HANDLE_VALUE) SetConsoleMode(g_console_input, g_saved_input_mode);
}

bool ConsoleTakesUtf8() { return GetConsoleOutputCP() == CP_UTF8; }

}  // namespace platform
