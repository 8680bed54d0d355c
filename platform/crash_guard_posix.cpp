#include <signal.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/crash_guard.h"
#include "platform/standard_streams.h"

namespace platform {
namespace {

// A trap (int3) and a catchable SIGSYS (a seccomp filter's trap action) are
// crashes as well.
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};
constexpr std::size_t kCrashSignalCount = sizeof kCrashSignals / sizeof kCrashSignals[0];

// Filled before the handlers go in: the handler only reads them.
char g_line[256];
std::size_t g_line_length = 0;
char g_exit_line[256];
std::size_t g_exit_line_length = 0;
int g_status = 0;
volatile sig_atomic_t g_exit_hooked = 0;
struct sigaction g_previous[kCrashSignalCount];
std::terminate_handler g_previous_terminate = nullptr;
// A library that overflows its stack leaves none for the handler: it runs
// on a stack of its own.
alignas(16) char g_handler_stack[64 * 1024];
stack_t g_previous_stack;

// Only async-signal-safe calls from here on: the library may have died
// inside malloc or holding a stream's lock.
void EndWith(const char* line, std::size_t length) {
  RestoreStandardStreams();
  std::size_t done = 0;
  while (done < length) {
    const ssize_t wrote = ::write(STDERR_FILENO, line + done, length - done);
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  ::_exit(g_status);
}

void EndAfterCrash() { EndWith(g_line, g_line_length); }

void OnCrashSignal(int) { EndAfterCrash(); }

// Registered once, before any foreign code runs: exit handlers run last
// registered first, so the library's own (its static objects) have run
// when this one ends the process.
void OnExit() {
  if (g_exit_hooked) EndWith(g_exit_line, g_exit_line_length);
}

std::size_t CopyLine(const std::string& line, char* to, std::size_t room) {
  const std::size_t length = line.size() < room ? line.size() : room;
  std::memcpy(to, line.data(), length);
  return length;
}

}  // namespace

void EnterForeignCode(const std::string& line, const std::string& exit_line, int status) {
  // quick_exit runs its own list of handlers.
  static const bool exit_hook = std::atexit(OnExit) == 0 && std::at_quick_exit(OnExit) == 0;
  static_cast<void>(exit_hook);
  g_line_length = CopyLine(line, g_line, sizeof g_line);
  g_exit_line_length = CopyLine(exit_line, g_exit_line, sizeof g_exit_line);
  g_status = status;
  g_exit_hooked = exit_line.empty() ? 0 : 1;
  // A C++ exception nobody catches comes here before the runtime's own
  // words about it; it would end in SIGABRT otherwise.
  g_previous_terminate = std::set_terminate(EndAfterCrash);
  stack_t stack = {};
  stack.ss_sp = g_handler_stack;
  stack.ss_size = sizeof g_handler_stack;
  ::sigaltstack(&stack, &g_previous_stack);
  struct sigaction action = {};
  action.sa_handler = OnCrashSignal;
  action.sa_flags = SA_ONSTACK;
  sigfillset(&action.sa_mask);
  for (std::size_t i = 0; i < kCrashSignalCount; ++i) ::sigaction(kCrashSignals[i], &action, &g_previous[i]);
}

void LeaveForeignCode() {
  g_exit_hooked = 0;
  for (std::size_t i = 0; i < kCrashSignalCount; ++i) ::sigaction(kCrashSignals[i], &g_previous[i], nullptr);
  ::sigaltstack(&g_previous_stack, nullptr);
  std::set_terminate(g_previous_terminate);
}

}  // namespace platform
