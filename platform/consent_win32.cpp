// The confirmation of a write on the Windows console, whose keys are read
// whatever standard input is.
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/consent.h"
#include "platform/consent_settle.h"
#include "platform/console_keyboard_win32.h"

namespace platform {
namespace {

std::int64_t NowMs() { return static_cast<std::int64_t>(GetTickCount64()); }

// Whether standard output is the console's own screen (not a file, NUL or a
// pipe), where the question is already on show.
bool StandardOutputIsTheConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != FALSE;
}

// Writes every byte of `text` on the console's screen (CONOUT$), lines
// ended with CR LF.
bool ShowOnConsole(const std::string& text) {
  const HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (screen == INVALID_HANDLE_VALUE) return false;
  std::string lines;
  for (const char c : text) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::size_t done = 0;
  while (done < lines.size()) {
    DWORD written = 0;
    if (!WriteFile(screen, lines.data() + done, static_cast<DWORD>(lines.size() - done), &written, nullptr) ||
        written == 0)
      break;
    done += written;
  }
  CloseHandle(screen);
  return done == lines.size();
}

Consent Of(KeyVerdict verdict) {
  return verdict == KeyVerdict::kConsent ? Consent::kGiven : Consent::kDeclined;
}

}  // namespace

Consent AwaitConsent(const std::string& question, const char*) {
  ConsoleKeyboard keyboard;
  // No console: no key can ever answer, as at the end of input.
  if (!keyboard.open()) return Consent::kDeclined;

  // 1. The warning reached the operator's screen.
  if (!StandardOutputIsTheConsole() && !ShowOnConsole(question)) return Consent::kNotShown;

  // 2. The keyboard went quiet after it. Every record that arrives is read
  // and judged: none is flushed unseen.
  QuietSettle settle(NowMs());
  for (;;) {
    const std::int64_t left = settle.SettledAt() - NowMs();
    // A key still waiting when the settle ends arrived inside it.
    ConsoleKey key = keyboard.Next(left > 0 ? static_cast<DWORD>(left) : 0);
    if (key.code == kKeyTimedOut) {
      if (left > 0) continue;
      // 3. Quiet for the whole settle: the next key answers, unless it is
      // the repeat of a key held from before, which starts the quiet over.
      key = keyboard.Next(INFINITE);
      const KeyVerdict verdict = settle.Answer(NowMs(), key.code, key.repeat);
      if (verdict != KeyVerdict::kThrownAway) return Of(verdict);
      ConsoleKeyState().ForgetPending();
      continue;
    }
    // 3. A declining key declines at once; any other is thrown away.
    if (settle.DuringSettle(NowMs(), key.code) == KeyVerdict::kDeclined) return Consent::kDeclined;
    ConsoleKeyState().ForgetPending();
  }
}

}  // namespace platform
