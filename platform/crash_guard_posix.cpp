#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/crash_guard.h"
#include "platform/process_end_posix.h"
#include "platform/standard_streams.h"

namespace platform {
namespace {

// A trap (int3) and a catchable SIGSYS (a seccomp filter's trap action) are
// crashes as well.
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};
constexpr std::size_t kCrashSignalCount = sizeof kCrashSignals / sizeof kCrashSignals[0];

// The lines and status of now (a call, or the time between calls). Each
// set is written while the other is in use, then switched to at once.
struct Words {
  char line[256];
  std::size_t line_length = 0;
  char exit_line[256];
  std::size_t exit_line_length = 0;
  int status = 0;
};
Words g_words[2];
volatile sig_atomic_t g_current = 0;
volatile sig_atomic_t g_in_call = 0;
volatile sig_atomic_t g_guarding = 0;
bool g_handlers_in = false;
struct sigaction g_previous[kCrashSignalCount];
std::terminate_handler g_previous_terminate = nullptr;
// A library that overflows its stack leaves none for the handler: it runs
// on a stack of its own.
alignas(16) char g_handler_stack[64 * 1024];
stack_t g_previous_stack;

// Only async-signal-safe calls from here on: the library may have died
// inside malloc or holding a stream's lock, on any thread.
void EndWith(const char* line, std::size_t length, int status) {
  RestoreStandardStreams();
  RestoreTerminalOfKeyWait();
  RemoveTemporaryOfSave();
  std::size_t done = 0;
  while (done < length) {
    const ssize_t wrote = ::write(STDERR_FILENO, line + done, length - done);
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  ::_exit(status);
}

void EndAfterCrash() {
  const Words& words = g_words[g_current];
  EndWith(words.line, words.line_length, words.status);
}

bool OnMainThread() { return ::syscall(SYS_gettid) == ::getpid(); }

void OnCrashSignal(int signal_number) {
  if (g_guarding && (g_in_call || !OnMainThread())) EndAfterCrash();
  // The program's own crash: the handler it had before takes it. A fault
  // comes back as the instruction runs again; a signal sent or raised is
  // sent again.
  for (std::size_t i = 0; i < kCrashSignalCount; ++i) {
    if (kCrashSignals[i] == signal_number) ::sigaction(signal_number, &g_previous[i], nullptr);
  }
  if (signal_number != SIGSEGV && signal_number != SIGBUS && signal_number != SIGILL &&
      signal_number != SIGFPE)
    ::raise(signal_number);
}

// Registered once, before any foreign code runs: exit handlers run last
// registered first, so the library's own (its static objects) have run
// when this one ends the process.
void OnExit() {
  const Words& words = g_words[g_current];
  if (g_guarding && words.exit_line_length != 0)
    EndWith(words.exit_line, words.exit_line_length, words.status);
}

std::size_t CopyLine(const std::string& line, char* to, std::size_t room) {
  const std::size_t length = line.size() < room ? line.size() : room;
  std::memcpy(to, line.data(), length);
  return length;
}

void SetWords(const std::string& line, const std::string& exit_line, int status) {
  Words& next = g_words[1 - g_current];
  next.line_length = CopyLine(line, next.line, sizeof next.line);
  next.exit_line_length = CopyLine(exit_line, next.exit_line, sizeof next.exit_line);
  next.status = status;
  g_current = 1 - g_current;
}

void PutHandlersIn() {
  if (g_handlers_in) return;
  // quick_exit runs its own list of handlers.
  static const bool exit_hook = std::atexit(OnExit) == 0 && std::at_quick_exit(OnExit) == 0;
  static_cast<void>(exit_hook);
  stack_t stack = {};
  stack.ss_sp = g_handler_stack;
  stack.ss_size = sizeof g_handler_stack;
  ::sigaltstack(&stack, &g_previous_stack);
  struct sigaction action = {};
  action.sa_handler = OnCrashSignal;
  action.sa_flags = SA_ONSTACK;
  sigfillset(&action.sa_mask);
  for (std::size_t i = 0; i < kCrashSignalCount; ++i) ::sigaction(kCrashSignals[i], &action, &g_previous[i]);
  g_handlers_in = true;
}

}  // namespace

void EnterForeignCode(const std::string& line, const std::string& exit_line, int status) {
  SetWords(line, exit_line, status);
  g_in_call = 1;
  g_guarding = 1;
  PutHandlersIn();
  // A C++ exception nobody catches comes here before the runtime's own
  // words about it; it would end in SIGABRT otherwise.
  g_previous_terminate = std::set_terminate(EndAfterCrash);
}

void LeaveForeignCode(const std::string& line, const std::string& exit_line, int status) {
  std::set_terminate(g_previous_terminate);
  SetWords(line, exit_line, status);
  g_in_call = 0;
}

void EndForeignCodeGuard() {
  if (g_in_call) {
    g_words[g_current].exit_line_length = 0;
    return;
  }
  g_guarding = 0;
  if (!g_handlers_in) return;
  for (std::size_t i = 0; i < kCrashSignalCount; ++i) ::sigaction(kCrashSignals[i], &g_previous[i], nullptr);
  ::sigaltstack(&g_previous_stack, nullptr);
  g_handlers_in = false;
}

}  // namespace platform
