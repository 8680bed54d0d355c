#include <signal.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <exception>

#include "platform/crash_guard.h"
#include "platform/standard_streams.h"

namespace platform {
namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr std::size_t kCrashSignalCount = sizeof kCrashSignals / sizeof kCrashSignals[0];

// Filled before the handlers go in: the handler only reads them.
char g_line[256];
std::size_t g_line_length = 0;
int g_status = 0;
struct sigaction g_previous[kCrashSignalCount];
std::terminate_handler g_previous_terminate = nullptr;
// A library that overflows its stack leaves none for the handler: it runs
// on a stack of its own.
alignas(16) char g_handler_stack[64 * 1024];
stack_t g_previous_stack;

// Only async-signal-safe calls from here on: the library may have died
// inside malloc or holding a stream's lock.
void EndAfterCrash() {
  RestoreStandardStreams();
  std::size_t done = 0;
  while (done < g_line_length) {
    const ssize_t wrote = ::write(STDERR_FILENO, g_line + done, g_line_length - done);
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  ::_exit(g_status);
}

void OnCrashSignal(int) { EndAfterCrash(); }

}  // namespace

void EnterForeignCode(const std::string& line, int status) {
  g_line_length = line.size() < sizeof g_line ? line.size() : sizeof g_line;
  std::memcpy(g_line, line.data(), g_line_length);
  g_status = status;
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
  for (std::size_t i = 0; i < kCrashSignalCount; ++i) ::sigaction(kCrashSignals[i], &g_previous[i], nullptr);
  ::sigaltstack(&g_previous_stack, nullptr);
  std::set_terminate(g_previous_terminate);
}

}  // namespace platform
