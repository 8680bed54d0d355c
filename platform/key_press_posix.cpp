// Console key presses on a POSIX terminal, delivered the way the Windows
// console does: one code per plain key, two for arrow and function keys.
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <iostream>
#include <string>
#include <thread>

#include "platform/held_signals_posix.h"
#include "platform/key_press.h"

namespace platform {
namespace {

// A terminal sends an arrow or function key as ESC followed by more bytes at
// once; ESC with nothing behind it for this long is the Escape key itself.
constexpr int kSequenceWaitMs = 50;
// No key a terminal sends is longer; anything longer is not a key.
constexpr std::size_t kLongestSequence = 16;
constexpr int kTimedOut = -2;

struct termios g_saved_terminal;
struct termios g_single_key_terminal;
// The second code of a two-code key, handed out by the next wait.
int g_pending_code = -1;
// Bytes read that are not yet taken as keys: the rest of an escape sequence
// that turned out to be none, or bytes read past its end.
std::string g_read_ahead;

// The signals whose default action ends the program, other than the faults
// (a crash), with SIGCONT last: the terminal is put back before the program
// ends, and after a stop (Ctrl+Z; the shell has put its own settings back)
// single-key mode is set again when the program continues.
int g_handled[_NSIG];
int g_handled_count = 0;

void CollectHandledSignals() {
  if (g_handled_count != 0) return;
  const sigset_t ending = EndingSignals();
  for (int signal_number = 1; signal_number < _NSIG; ++signal_number) {
    if (sigismember(&ending, signal_number) == 1) g_handled[g_handled_count++] = signal_number;
  }
  g_handled[g_handled_count++] = SIGCONT;
}

void RestoreTerminalAndDie(int signal_number) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);  // delivered with its default action once this handler returns
}

void ResumeSingleKeyMode(int) { ::tcsetattr(STDIN_FILENO, TCSANOW, &g_single_key_terminal); }

// Puts the terminal into single-key mode for the lifetime of the object and
// makes sure that the settings come back even when a signal ends the program.
struct SingleKeyMode {
  struct sigaction previous[_NSIG];
  sigset_t handled;

  SingleKeyMode() {
    CollectHandledSignals();
    g_single_key_terminal = g_saved_terminal;
    // Ctrl+S and Ctrl+Q are keys as well, as on the Windows console.
    g_single_key_terminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    g_single_key_terminal.c_iflag &= ~static_cast<tcflag_t>(IXON);
    g_single_key_terminal.c_cc[VMIN] = 1;
    g_single_key_terminal.c_cc[VTIME] = 0;
    sigemptyset(&handled);
    for (int i = 0; i < g_handled_count; ++i) sigaddset(&handled, g_handled[i]);
    for (int i = 0; i < g_handled_count; ++i) {
      const int signal_number = g_handled[i];
      ::sigaction(signal_number, nullptr, &previous[signal_number]);
      // A signal the program was started to ignore stays ignored.
      if (previous[signal_number].sa_handler == SIG_IGN) continue;
      struct sigaction action {};
      action.sa_handler = signal_number == SIGCONT ? ResumeSingleKeyMode : RestoreTerminalAndDie;
      // One handler at a time: none can undo what another just did.
      action.sa_mask = handled;
      ::sigaction(signal_number, &action, nullptr);
    }
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_single_key_terminal);
  }

  ~SingleKeyMode() {
    // Held while the terminal and the handlers are put back, so that a late
    // SIGCONT cannot set single-key mode again after the restore; a signal
    // that arrives meanwhile acts once the old handlers are back.
    sigset_t before;
    ::sigprocmask(SIG_BLOCK, &handled, &before);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
    for (int i = 0; i < g_handled_count; ++i) {
      if (previous[g_handled[i]].sa_handler == SIG_IGN) continue;
      ::sigaction(g_handled[i], &previous[g_handled[i]], nullptr);
    }
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
  }

  SingleKeyMode(const SingleKeyMode&) = delete;
  SingleKeyMode& operator=(const SingleKeyMode&) = delete;
};

// Waits until the terminal has a byte to read, at most `timeout_ms` (forever
// when negative). False when the time ran out.
bool WaitForInput(int timeout_ms) {
  for (;;) {
    struct pollfd input = {STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&input, 1, timeout_ms);
    if (ready < 0 && errno == EINTR) continue;
    return ready != 0;
  }
}

// One byte from the terminal; waits at most `timeout_ms` (forever when
// negative). Returns the byte, kEndOfInput, or kTimedOut. A terminal that
// some other program made non-blocking still waits.
int ReadByte(int timeout_ms) {
  if (!g_read_ahead.empty()) {
    const unsigned char byte = static_cast<unsigned char>(g_read_ahead.front());
    g_read_ahead.erase(0, 1);
    return byte;
  }
  for (;;) {
    if (timeout_ms >= 0 && !WaitForInput(timeout_ms)) return kTimedOut;
    unsigned char byte = 0;
    const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
    if (got == 1) return byte;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (timeout_ms < 0) WaitForInput(-1);
      continue;
    }
    return kEndOfInput;
  }
}

struct KeyCodes {
  int first;
  int second;
};
constexpr KeyCodes kNoKey = {-1, -1};
constexpr int kExtended = 0xE0;

// The console codes of the key that a CSI (ESC [) or SS3 (ESC O) sequence
// stands for; `parameter` is the first number in a CSI sequence (0 if none).
// kNoKey for a sequence that is no key this program knows: among them the
// CSI forms ending in P to S, which a terminal also sends as its answer to
// a query (a cursor position report, CSI row ; column R).
KeyCodes DecodeSequence(int introducer, int parameter, char final_byte) {
  switch (final_byte) {
    case 'A':
      return {kExtended, 0x48};
    case 'B':
      return {kExtended, 0x50};
    case 'C':
      return {kExtended, 0x4D};
    case 'D':
      return {kExtended, 0x4B};
    case 'H':
      return {kExtended, 0x47};
    case 'F':
      return {kExtended, 0x4F};
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      // F1 to F4 in their SS3 form.
      if (introducer == 'O') return {0, 0x3B + final_byte - 'P'};
      return kNoKey;
    default:
      break;
  }
  if (introducer != '[' || final_byte != '~') return kNoKey;
  switch (parameter) {
    case 1:
      return {kExtended, 0x47};
    case 2:
      return {kExtended, 0x52};
    case 3:
      return {kExtended, 0x53};
    case 4:
      return {kExtended, 0x4F};
    case 5:
      return {kExtended, 0x49};
    case 6:
      return {kExtended, 0x51};
    case 23:
      return {kExtended, 0x85};
    case 24:
      return {kExtended, 0x86};
    default:
      break;
  }
  if (parameter >= 11 && parameter <= 15) return {0, 0x3B + parameter - 11};
  if (parameter >= 17 && parameter <= 21) return {0, 0x40 + parameter - 17};
  return kNoKey;
}

// Reads the rest of an escape sequence after ESC and its introducer; every
// byte read goes to `bytes`. kNoKey when the sequence is incomplete (nothing
// more within the sequence wait), malformed or unknown.
KeyCodes ReadSequence(int introducer, std::string& bytes) {
  int parameter = 0;
  bool first_number = true;
  while (bytes.size() < kLongestSequence) {
    const int byte = ReadByte(kSequenceWaitMs);
    if (byte < 0) return kNoKey;
    bytes += static_cast<char>(byte);
    if (introducer == 'O' || (byte >= 0x40 && byte <= 0x7E)) {
      return DecodeSequence(introducer, parameter, static_cast<char>(byte));
    }
    if (byte < 0x20 || byte > 0x3F) return kNoKey;  // not a parameter or intermediate byte
    if (byte == ';') first_number = false;          // modifiers (Shift, Ctrl) change nothing here
    if (first_number && byte >= '0' && byte <= '9' && parameter < 1000)
      parameter = parameter * 10 + (byte - '0');
  }
  return kNoKey;
}

int ReadTerminalKey() {
  const int byte = ReadByte(-1);
  // The terminal's end-of-input key (Ctrl+D) ends input here too.
  const cc_t end_of_input = g_saved_terminal.c_cc[VEOF];
  if (byte >= 0 && end_of_input != _POSIX_VDISABLE && byte == end_of_input) return kEndOfInput;
  // C1 controls: 8-bit CSI (0x9B), SS3 (0x8F) and the like, raw or in UTF-8.
  if (byte >= 0x80 && byte <= 0x9F) return kEscapeKey;
  if (byte == 0xC2) {
    const int second = ReadByte(kSequenceWaitMs);
    if (second >= 0x80 && second <= 0x9F) return kEscapeKey;
    if (second >= 0) g_read_ahead.insert(g_read_ahead.begin(), static_cast<char>(second));
    return byte;
  }
  if (byte != kEscapeKey) return byte;
  const int next = ReadByte(kSequenceWaitMs);
  if (next == '[' || next == 'O') {
    std::string bytes(1, static_cast<char>(next));
    const KeyCodes codes = ReadSequence(next, bytes);
    if (codes.first >= 0) {
      g_pending_code = codes.second;
      return codes.first;
    }
    // No key: ESC, and each byte behind it a key of its own, as the Windows
    // console would deliver them.
    g_read_ahead.insert(0, bytes);
    return kEscapeKey;
  }
  // ESC alone, or ESC and then a key of its own (a second ESC, an Alt
  // combination): this key is Escape, the byte behind it the next key.
  if (next >= 0) g_read_ahead.insert(g_read_ahead.begin(), static_cast<char>(next));
  return kEscapeKey;
}

}  // namespace

int WaitForKeyPress() {
  if (g_pending_code >= 0) {
    const int code = g_pending_code;
    g_pending_code = -1;
    return code;
  }
  if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &g_saved_terminal) == 0) {
    const SingleKeyMode mode;
    return ReadTerminalKey();
  }
  // Not a terminal: keys come from the same buffered input as the board
  // number, one byte each.
  if (std::cin.fail() && !std::cin.eof()) std::cin.clear();
  const std::istream::int_type byte = std::cin.get();
  return byte == std::istream::traits_type::eof() ? kEndOfInput : static_cast<int>(byte);
}

void DiscardTypedKeys() {
  if (!::isatty(STDIN_FILENO)) return;
  // The settle time starts once the text is on its way to the screen.
  if (::isatty(STDOUT_FILENO)) ::tcdrain(STDOUT_FILENO);
  ::tcdrain(STDIN_FILENO);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSettleMs);
  for (;;) {
    ::tcflush(STDIN_FILENO, TCIFLUSH);
    const auto left =
        std::chrono::duration_cast<std::chrono::nanoseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    std::this_thread::sleep_for(std::min(left, std::chrono::nanoseconds(10000000)));
  }
  ::tcflush(STDIN_FILENO, TCIFLUSH);
  g_pending_code = -1;
  g_read_ahead.clear();
}

}  // namespace platform
