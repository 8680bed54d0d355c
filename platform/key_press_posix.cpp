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

#include "platform/held_signals.h"
#include "platform/key_press.h"
#include "platform/process_end_posix.h"
#include "platform/terminal_keys_posix.h"

namespace platform {
namespace {

// A terminal sends an arrow or function key as ESC followed by more bytes at
// once; ESC with nothing behind it for this long is the Escape key itself.
constexpr int kSequenceWaitMs = 50;
// No key a terminal sends is longer; anything longer is not a key.
constexpr std::size_t kLongestSequence = 16;

struct termios g_saved_terminal;
// Whether a key wait has the terminal in a mode of its own now.
volatile sig_atomic_t g_terminal_changed = 0;
// The mode of the key wait now running, which a continue puts back.
struct termios g_single_key_terminal;
// The second code of a two-code key, handed out by the next wait.
int g_pending_code = -1;
// Bytes read that are not yet taken as keys: the rest of an escape sequence
// that turned out to be none, or bytes read past its end.
std::string g_read_ahead;

// What interrupts a confirmation, and the signal mask its reads wait under
// (SIGCONT and a caught SIGINT let through, held everywhere else so that
// none can slip in between a check and a wait).
volatile sig_atomic_t g_continued = 0;
volatile sig_atomic_t g_interrupted = 0;
sigset_t g_confirmation_wait_mask;
bool g_in_confirmation = false;

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

// After a continue the confirmation settles again.
void ResumeConfirmation(int) {
  g_single_key_terminal.c_cc[VMIN] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &g_single_key_terminal);
  g_continued = 1;
}

void NoteInterrupt(int) { g_interrupted = 1; }

}  // namespace

// Puts the terminal into single-key mode for the lifetime of the object and
// makes sure that the settings come back even when a signal ends the program.
struct SingleKeyMode {
  explicit SingleKeyMode(bool confirmation) : confirmation_(confirmation) {
    CollectHandledSignals();
    g_single_key_terminal = g_saved_terminal;
    // Ctrl+S and Ctrl+Q are keys as well, as on the Windows console.
    g_single_key_terminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    g_single_key_terminal.c_iflag &= ~static_cast<tcflag_t>(IXON);
    g_single_key_terminal.c_cc[VMIN] = confirmation ? 0 : 1;
    g_single_key_terminal.c_cc[VTIME] = 0;
    sigemptyset(&handled_);
    for (int i = 0; i < g_handled_count; ++i) sigaddset(&handled_, g_handled[i]);
    sigset_t noted;
    sigemptyset(&noted);
    for (int i = 0; i < g_handled_count; ++i) {
      const int signal_number = g_handled[i];
      ::sigaction(signal_number, nullptr, &previous_[signal_number]);
      struct sigaction action {};
      if (previous_[signal_number].sa_handler == SIG_IGN) {
        // A signal the program was started to ignore stays ignored, but for
        // Ctrl+C at a confirmation: it declines there.
        if (!confirmation || signal_number != SIGINT) continue;
        action.sa_handler = NoteInterrupt;
        sigaddset(&noted, signal_number);
      } else if (signal_number == SIGCONT) {
        action.sa_handler = confirmation ? ResumeConfirmation : ResumeSingleKeyMode;
        if (confirmation) sigaddset(&noted, signal_number);
      } else {
        action.sa_handler = RestoreTerminalAndDie;
      }
      // One handler at a time: none can undo what another just did.
      action.sa_mask = handled_;
      ::sigaction(signal_number, &action, nullptr);
      installed_[signal_number] = true;
    }
    if (confirmation) {
      g_continued = 0;
      g_interrupted = 0;
      ::sigprocmask(SIG_BLOCK, &noted, &mask_before_);
      g_confirmation_wait_mask = mask_before_;
      for (int i = 0; i < g_handled_count; ++i) {
        if (sigismember(&noted, g_handled[i]) == 1) sigdelset(&g_confirmation_wait_mask, g_handled[i]);
      }
      g_in_confirmation = true;
    }
    g_terminal_changed = 1;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_single_key_terminal);
  }

  ~SingleKeyMode() {
    // Held while the terminal and the handlers are put back, so that a late
    // SIGCONT cannot set single-key mode again after the restore; a signal
    // that arrives meanwhile acts once the old handlers are back.
    sigset_t before;
    ::sigprocmask(SIG_BLOCK, &handled_, &before);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
    g_terminal_changed = 0;
    for (int i = 0; i < g_handled_count; ++i) {
      if (installed_[g_handled[i]]) ::sigaction(g_handled[i], &previous_[g_handled[i]], nullptr);
    }
    g_in_confirmation = false;
    ::sigprocmask(SIG_SETMASK, confirmation_ ? &mask_before_ : &before, nullptr);
  }

  SingleKeyMode(const SingleKeyMode&) = delete;
  SingleKeyMode& operator=(const SingleKeyMode&) = delete;

  void SetMinimum(cc_t minimum) {
    sigset_t before;
    ::sigprocmask(SIG_BLOCK, &handled_, &before);
    g_single_key_terminal.c_cc[VMIN] = minimum;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_single_key_terminal);
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
  }

  const bool confirmation_;
  struct sigaction previous_[_NSIG];
  bool installed_[_NSIG] = {};
  sigset_t handled_;
  sigset_t mask_before_;
};

namespace {

// Waits until the terminal has a byte to read, at most `timeout_ms` (forever
// when negative). The poll's events, kTimedOut, or kInterrupted when a
// confirmation was continued or interrupted meanwhile.
int WaitForInput(int timeout_ms) {
  for (;;) {
    struct pollfd input = {STDIN_FILENO, POLLIN, 0};
    struct timespec limit = {timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
    const int ready = ::ppoll(&input, 1, timeout_ms < 0 ? nullptr : &limit,
                              g_in_confirmation ? &g_confirmation_wait_mask : nullptr);
    if (ready < 0 && errno == EINTR) {
      if (g_in_confirmation && (g_continued != 0 || g_interrupted != 0)) return kInterrupted;
      continue;
    }
    if (ready == 0) return kTimedOut;
    return ready < 0 ? POLLERR : input.revents;
  }
}

// One byte from the terminal; waits at most `timeout_ms` (forever when
// negative). Returns the byte, kEndOfInput, kTimedOut or kInterrupted. A
// terminal that some other program made non-blocking still waits.
int ReadByte(int timeout_ms) {
  if (!g_read_ahead.empty()) {
    const unsigned char byte = static_cast<unsigned char>(g_read_ahead.front());
    g_read_ahead.erase(0, 1);
    return byte;
  }
  for (;;) {
    const int events = WaitForInput(timeout_ms);
    if (events < 0) return events;
    unsigned char byte = 0;
    const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
    if (got == 1) return byte;
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    // With VMIN 0 an empty read is no end while the terminal is there:
    // another reader of the terminal took the byte first.
    if (got == 0 && (events & (POLLHUP | POLLERR | POLLNVAL)) == 0 && g_single_key_terminal.c_cc[VMIN] == 0)
      continue;
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

}  // namespace

int ReadTerminalKey(int timeout_ms) {
  const int byte = ReadByte(timeout_ms);
  if (byte == kTimedOut || byte == kInterrupted) return byte;
  // The terminal's end-of-input key (Ctrl+D) ends input here too.
  const cc_t end_of_input = g_saved_terminal.c_cc[VEOF];
  if (byte >= 0 && end_of_input != _POSIX_VDISABLE && byte == end_of_input) return kEndOfInput;
  // C1 controls: 8-bit CSI (0x9B), SS3 (0x8F) and the like, raw or in UTF-8.
  if (byte >= 0x80 && byte <= 0x9F) return kEscapeKey;
  if (byte == 0xC2) {
    const int second = ReadByte(kSequenceWaitMs);
    // No key sends a lone 0xC2: it is the first half of a C1 control whose
    // second byte comes late.
    if (second < 0 || (second >= 0x80 && second <= 0x9F)) return kEscapeKey;
    g_read_ahead.insert(g_read_ahead.begin(), static_cast<char>(second));
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

void RestoreTerminalOfKeyWait() {
  if (g_terminal_changed) ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
}

void ForgetPendingKeys() {
  g_pending_code = -1;
  g_read_ahead.clear();
}

bool TerminalInput() { return ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &g_saved_terminal) == 0; }

ConfirmationKeyMode::ConfirmationKeyMode() : mode_(new SingleKeyMode(true)) {}
ConfirmationKeyMode::~ConfirmationKeyMode() = default;
void ConfirmationKeyMode::Settling(bool settling) { mode_->SetMinimum(settling ? 0 : 1); }
bool ConfirmationKeyMode::TakeContinued() {
  const bool continued = g_continued != 0;
  g_continued = 0;
  return continued;
}
bool ConfirmationKeyMode::Interrupted() const { return g_interrupted != 0; }

int WaitForKeyPress() {
  if (g_pending_code >= 0) {
    const int code = g_pending_code;
    g_pending_code = -1;
    return code;
  }
  if (TerminalInput()) {
    const SingleKeyMode mode(false);
    return ReadTerminalKey(-1);
  }
  // Not a terminal: keys come from the same buffered input as the board
  // number, one byte each.
  if (std::cin.fail() && !std::cin.eof()) std::cin.clear();
  const std::istream::int_type byte = std::cin.get();
  return byte == std::istream::traits_type::eof() ? kEndOfInput : static_cast<int>(byte);
}

}  // namespace platform
