#include <windows.h>

#include <csignal>
#include <cstring>
#include <exception>

#include "platform/crash_guard.h"
#include "platform/standard_streams.h"

namespace platform {
namespace {

char g_line[256];
DWORD g_line_length = 0;
int g_status = 0;
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;
void (*g_previous_abort)(int) = SIG_DFL;
std::terminate_handler g_previous_terminate = nullptr;

// The process ends without detaching the libraries: the crashed one would
// run its own code again, possibly holding the loader's lock.
void EndAfterCrash() {
  RestoreStandardStreams();
  DWORD wrote = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), g_line, g_line_length, &wrote, nullptr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(g_status));
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) {
  EndAfterCrash();
  return EXCEPTION_CONTINUE_SEARCH;
}

void OnAbort(int) { EndAfterCrash(); }

}  // namespace

void EnterForeignCode(const std::string& line, int status) {
  g_line_length = static_cast<DWORD>(line.size() < sizeof g_line ? line.size() : sizeof g_line);
  std::memcpy(g_line, line.data(), g_line_length);
  g_status = status;
  g_previous_filter = SetUnhandledExceptionFilter(OnUnhandledException);
  // A library built with MinGW and its C++ runtime linked in ends an uncaught
  // exception in its own std::terminate, and so in abort(), which raises
  // SIGABRT first; one sharing this program's runtime comes here directly.
  g_previous_abort = std::signal(SIGABRT, OnAbort);
  g_previous_terminate = std::set_terminate(EndAfterCrash);
}

void LeaveForeignCode() {
  std::set_terminate(g_previous_terminate);
  std::signal(SIGABRT, g_previous_abort);
  SetUnhandledExceptionFilter(g_previous_filter);
}

}  // namespace platform
