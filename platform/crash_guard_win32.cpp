#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/crash_guard.h"
#include "platform/standard_streams.h"

namespace platform {
namespace {

char g_line[256];
DWORD g_line_length = 0;
char g_exit_line[256];
DWORD g_exit_line_length = 0;
int g_status = 0;
volatile LONG g_exit_hooked = 0;
volatile LONG g_in_call = 0;
DWORD g_main_thread = 0;
bool g_filter_in = false;
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;
void (*g_previous_abort)(int) = SIG_DFL;
std::terminate_handler g_previous_terminate = nullptr;

// The process ends without detaching the libraries: the crashed one would
// run its own code again, possibly holding the loader's lock.
void EndWith(const char* line, DWORD length) {
  RestoreStandardStreams();
  DWORD wrote = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, length, &wrote, nullptr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(g_status));
}

void EndAfterCrash() { EndWith(g_line, g_line_length); }

// The C runtime's exit() runs this program's exit handlers too, last
// registered first: the library's own have run when this one ends the
// process.
void OnExit() {
  if (g_exit_hooked) EndWith(g_exit_line, g_exit_line_length);
}

DWORD CopyLine(const std::string& line, char* to, std::size_t room) {
  const std::size_t length = line.size() < room ? line.size() : room;
  std::memcpy(to, line.data(), length);
  return static_cast<DWORD>(length);
}

// Stack kept back for the handler: a library that overflows its stack
// would otherwise leave too little for the crash line to be written, and
// the process would end with no word. The system raises the overflow while
// the guaranteed bytes are still free, when the stack grows into its guard
// page. A stack committed in full (as Wine commits the main thread's) has
// no guard page, only a last page where no handler can run: it gets one,
// well above its bottom, and the system moves it down from there as the
// stack grows. A stack that grows as it is used (Windows') has that page
// merely reserved, and is left as it is.
void ReserveStackForHandler() {
  using Guarantee = BOOL(WINAPI*)(PULONG);
  const auto guarantee = reinterpret_cast<Guarantee>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetThreadStackGuarantee")));
  ULONG size = 64 * 1024;
  if (guarantee != nullptr) guarantee(&size);
  MEMORY_BASIC_INFORMATION stack = {};
  if (VirtualQuery(&stack, &stack, sizeof stack) == 0) return;
  char* const guard = static_cast<char*>(stack.AllocationBase) + 128 * 1024;
  MEMORY_BASIC_INFORMATION page = {};
  if (VirtualQuery(guard, &page, sizeof page) == 0 || page.State != MEM_COMMIT ||
      (page.Protect & PAGE_GUARD) != 0 || guard >= reinterpret_cast<char*>(&stack)) {
    return;
  }
  DWORD before = 0;
  VirtualProtect(guard, 4096, PAGE_READWRITE | PAGE_GUARD, &before);
}

// In a call, or on a thread of the library's own at any time, a crash is
// the library's; on the main thread between calls, the program's own.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
  if (g_in_call || GetCurrentThreadId() != g_main_thread) EndAfterCrash();
  return g_previous_filter != nullptr ? g_previous_filter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

void OnAbort(int) { EndAfterCrash(); }

// ExitProcess runs no exit handlers, but it does detach the modules, this
// program's TLS callbacks included, before the process ends with the code
// it was given: ending here sets the code and the line instead.
void NTAPI OnThreadOrProcessDetach(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_PROCESS_DETACH && g_exit_hooked) EndWith(g_exit_line, g_exit_line_length);
}

}  // namespace
}  // namespace platform

// The loader finds TLS callbacks in the .CRT$XL* sections, between the C
// runtime's own start and end markers.
extern "C" __attribute__((section(".CRT$XLY"), used)) const PIMAGE_TLS_CALLBACK vantrel_tls_detach =
    platform::OnThreadOrProcessDetach;

namespace platform {
namespace {}  // namespace

void EnterForeignCode(const std::string& line, const std::string& exit_line, int status) {
  static const bool prepared = (ReserveStackForHandler(), std::atexit(OnExit) == 0);
  static_cast<void>(prepared);
  g_line_length = CopyLine(line, g_line, sizeof g_line);
  g_exit_line_length = CopyLine(exit_line, g_exit_line, sizeof g_exit_line);
  g_status = status;
  g_exit_hooked = exit_line.empty() ? 0 : 1;
  g_in_call = 1;
  if (!g_filter_in) {
    g_main_thread = GetCurrentThreadId();
    g_previous_filter = SetUnhandledExceptionFilter(OnUnhandledException);
    g_filter_in = true;
  }
  // A library built with MinGW and its C++ runtime linked in ends an uncaught
  // exception in its own std::terminate, and so in abort(), which raises
  // SIGABRT first; one sharing this program's runtime comes here directly.
  g_previous_abort = std::signal(SIGABRT, OnAbort);
  g_previous_terminate = std::set_terminate(EndAfterCrash);
}

// Between calls the exit hooks stay armed with the words for that time, so
// that a library thread's exit() or ExitProcess still says why the run
// ended, and so does the exception filter, for crashes on its threads.
void LeaveForeignCode(const std::string& line, const std::string& exit_line, int status) {
  g_exit_hooked = 0;
  g_in_call = 0;
  std::set_terminate(g_previous_terminate);
  std::signal(SIGABRT, g_previous_abort);
  g_line_length = CopyLine(line, g_line, sizeof g_line);
  g_exit_line_length = CopyLine(exit_line, g_exit_line, sizeof g_exit_line);
  g_status = status;
  g_exit_hooked = exit_line.empty() ? 0 : 1;
}

void EndForeignCodeGuard() {
  g_exit_hooked = 0;
  if (g_in_call || !g_filter_in) return;
  SetUnhandledExceptionFilter(g_previous_filter);
  g_filter_in = false;
}

}  // namespace platform
