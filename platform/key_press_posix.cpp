// Console key presses on a POSIX terminal, delivered the way the Windows
// console does: one code per plain key, two for arrow and function keys.
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <iostream>
#include <string>

#include "platform/key_press.h"

namespace platform {
namespace {

// A terminal sends an arrow or function key as ESC followed by more bytes at
// once; ESC with nothing behind it for this long is the Escape key itself.
constexpr int kSequenceWaitMs = 50;
constexpr int kTimedOut = -2;
// Signals that end the program by default: the terminal is put back first.
// SIGCONT: a shell that stopped the program (Ctrl+Z) has put its own settings
// back; single-key mode is set again when the program continues.
constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCONT};

struct termios g_saved_terminal;
struct termios g_single_key_terminal;
// The second code of a two-code key, handed out by the next wait.
int g_pending_code = -1;
// Bytes read past the end of an escape sequence, not yet taken as keys.
std::string g_read_ahead;

void RestoreTerminalAndDie(int signal_number) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);  // delivered with its default action once this handler returns
}

void ResumeSingleKeyMode(int) { ::tcsetattr(STDIN_FILENO, TCSANOW, &g_single_key_terminal); }

// Puts the terminal into single-key mode for the lifetime of the object and
// makes sure that the settings come back even when a signal ends the program.
struct SingleKeyMode {
  struct sigaction previous[sizeof kHandledSignals / sizeof kHandledSignals[0]];

  SingleKeyMode() {
    g_single_key_terminal = g_saved_terminal;
    g_single_key_terminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    g_single_key_terminal.c_cc[VMIN] = 1;
    g_single_key_terminal.c_cc[VTIME] = 0;
    for (std::size_t i = 0; i < sizeof previous / sizeof previous[0]; ++i) {
      ::sigaction(kHandledSignals[i], nullptr, &previous[i]);
      // A signal the program was started to ignore stays ignored.
      if (previous[i].sa_handler == SIG_IGN) continue;
      struct sigaction action {};
      action.sa_handler = kHandledSignals[i] == SIGCONT ? ResumeSingleKeyMode : RestoreTerminalAndDie;
      sigemptyset(&action.sa_mask);
      ::sigaction(kHandledSignals[i], &action, nullptr);
    }
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_single_key_terminal);
  }

  ~SingleKeyMode() {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
    for (std::size_t i = 0; i < sizeof previous / sizeof previous[0]; ++i) {
      ::sigaction(kHandledSignals[i], &previous[i], nullptr);
    }
  }

  SingleKeyMode(const SingleKeyMode&) = delete;
  SingleKeyMode& operator=(const SingleKeyMode&) = delete;
};

// One byte from the terminal; waits at most `timeout_ms` (forever when
// negative). Returns the byte, kEndOfInput, or kTimedOut.
int ReadByte(int timeout_ms) {
  if (!g_read_ahead.empty()) {
    const unsigned char byte = static_cast<unsigned char>(g_read_ahead.front());
    g_read_ahead.erase(0, 1);
    return byte;
  }
  for (;;) {
    if (timeout_ms >= 0) {
      struct pollfd input = {STDIN_FILENO, POLLIN, 0};
      const int ready = ::poll(&input, 1, timeout_ms);
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return kTimedOut;
    }
    unsigned char byte = 0;
    const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
    if (got == 1) return byte;
    if (got < 0 && errno == EINTR) continue;
    return kEndOfInput;
  }
}

struct KeyCodes {
  int first;
  int second;
};

// The console codes of the key that a CSI (ESC [) or SS3 (ESC O) sequence
// stands for; `parameter` is the number before a final '~' (0 if none).
KeyCodes DecodeSequence(int parameter, char final_byte) {
  constexpr int kExtended = 0xE0;
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
      return {0, 0x3B};
    case 'Q':
      return {0, 0x3C};
    case 'R':
      return {0, 0x3D};
    case 'S':
      return {0, 0x3E};
    default:
      break;
  }
  if (final_byte == '~') {
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
  }
  // Some other special key: still one key press, and never Escape.
  return {kExtended, 0};
}

// Reads the rest of an escape sequence after ESC and its introducer.
KeyCodes ReadSequence(int introducer) {
  int parameter = 0;
  bool first_number = true;
  for (;;) {
    const int byte = ReadByte(kSequenceWaitMs);
    if (byte < 0) return DecodeSequence(-1, '\0');
    if (introducer == 'O' || (byte >= 0x40 && byte <= 0x7E)) {
      return DecodeSequence(parameter, static_cast<char>(byte));
    }
    if (byte == ';') first_number = false;  // modifiers (Shift, Ctrl) change nothing here
    if (first_number && byte >= '0' && byte <= '9' && parameter < 1000)
      parameter = parameter * 10 + (byte - '0');
  }
}

int ReadTerminalKey() {
  const int byte = ReadByte(-1);
  if (byte != kEscapeKey) return byte;
  const int next = ReadByte(kSequenceWaitMs);
  if (next == '[' || next == 'O') {
    const KeyCodes codes = ReadSequence(next);
    g_pending_code = codes.second;
    return codes.first;
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

}  // namespace platform
