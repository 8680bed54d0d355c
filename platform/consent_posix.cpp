// The confirmation of a write on a POSIX terminal.
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/consent.h"
#include "platform/consent_settle.h"
#include "platform/descriptor_posix.h"
#include "platform/key_press.h"
#include "platform/terminal_keys_posix.h"

namespace platform {
namespace {

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool IsTerminal(int fd, dev_t terminal) {
  struct stat status {};
  return ::fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && status.st_rdev == terminal && ::isatty(fd);
}

// Where text reaches the screen of the terminal the keys come from.
struct Screen {
  int fd = -1;
  bool is_standard_output = false;
  Descriptor opened{-1};
};

// Standard output when it is that terminal. Else a descriptor already open
// on it for writing: descriptor 0 as login, sshd and terminal emulators
// open it; else /dev/tty when that is the same terminal; else the terminal
// by its name. Under su, runuser or in a chroot the name may not open, and
// /dev/tty may be another terminal or none.
void FindScreen(Screen& screen) {
  struct stat input {};
  if (::fstat(STDIN_FILENO, &input) != 0) return;
  if (IsTerminal(STDOUT_FILENO, input.st_rdev)) {
    screen.fd = STDOUT_FILENO;
    screen.is_standard_output = true;
    return;
  }
  const int flags = ::fcntl(STDIN_FILENO, F_GETFL);
  if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY) {
    screen.fd = STDIN_FILENO;
    return;
  }
  // /dev/tty is standard input's terminal when that is the program's
  // controlling terminal, which is when tcgetpgrp answers for it (a
  // descriptor opened through /dev/tty reports the device of /dev/tty
  // itself, so it cannot be compared).
  if (::tcgetpgrp(STDIN_FILENO) >= 0) {
    screen.opened.Reset(::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (screen.opened.valid() && ::isatty(screen.opened.get())) {
      screen.fd = screen.opened.get();
      return;
    }
  }
  const char* name = ::ttyname(STDIN_FILENO);
  screen.opened.Reset(name != nullptr ? ::open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1);
  if (screen.opened.valid() && IsTerminal(screen.opened.get(), input.st_rdev))
    screen.fd = screen.opened.get();
}

// Writes every byte of `text` on the screen and waits until it has left
// for it.
bool Show(const Screen& screen, const std::string& text) {
  if (screen.fd < 0 || WriteFully(screen.fd, text.data(), text.size()) != text.size()) return false;
  ::tcdrain(screen.fd);
  return true;
}

// Whether standard input is the file the image was loaded from, by its own
// path or by /dev/stdin.
bool StandardInputIs(const char* path) {
  struct stat input {};
  struct stat image {};
  return ::fstat(STDIN_FILENO, &input) == 0 && ::stat(path, &image) == 0 && input.st_dev == image.st_dev &&
         input.st_ino == image.st_ino;
}

}  // namespace

Consent AwaitConsent(const std::string& question, const char* image_path) {
  if (!TerminalInput()) {
    if (StandardInputIs(image_path)) return Consent::kImageAnswers;
    return DeclinesAtOnce(WaitForKeyPress()) ? Consent::kDeclined : Consent::kGiven;
  }
  // From here on nothing typed is echoed: a key pressed while the warning
  // settles must not look taken.
  ConfirmationKeyMode keys;

  // 1. The warning reached the operator's screen.
  Screen screen;
  FindScreen(screen);
  if (screen.is_standard_output) {
    ::tcdrain(STDOUT_FILENO);
  } else if (!Show(screen, question)) {
    return Consent::kNotShown;
  }

  // 2. The keyboard went quiet after it.
  QuietSettle settle(NowMs());
  for (;;) {
    // 4. After an interruption the rule starts again.
    if (keys.TakeContinued()) {
      ::tcflush(STDIN_FILENO, TCIFLUSH);
      ForgetPendingKeys();
      keys.Settling(true);
      if (!Show(screen, question)) return Consent::kNotShown;
      settle.Restart(NowMs());
    }
    if (keys.Interrupted()) return Consent::kDeclined;

    const std::int64_t left = settle.SettledAt() - NowMs();
    // A key still waiting when the settle ends arrived inside it.
    const int key = ReadTerminalKey(left > 0 ? static_cast<int>(left) : 0);
    if (key == kInterrupted) continue;
    if (key == kTimedOut) {
      if (left > 0) continue;
      // 3. Quiet for the whole settle: the next key answers. Only a plain
      // key consents.
      keys.Settling(false);
      const int answer = ReadTerminalKey(-1);
      if (answer == kInterrupted) continue;
      return QuietSettle::Answer(answer) == KeyVerdict::kConsent ? Consent::kGiven : Consent::kDeclined;
    }
    // 3. A declining key declines at once; any other is thrown away.
    if (settle.DuringSettle(NowMs(), key) == KeyVerdict::kDeclined) return Consent::kDeclined;
    ForgetPendingKeys();
  }
}

}  // namespace platform
