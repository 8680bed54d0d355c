// The confirmation of a write on the Windows console, which _getch reads
// whatever standard input is.
#include <conio.h>
#include <windows.h>

#include <string>

#include "platform/consent.h"
#include "platform/consent_settle.h"
#include "platform/key_press.h"

namespace platform {
namespace {

// The console's input, or INVALID_HANDLE_VALUE where there is none.
HANDLE OpenConsoleInput() {
  const HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD mode = 0;
  if (input != INVALID_HANDLE_VALUE && !GetConsoleMode(input, &mode)) {
    CloseHandle(input);
    return INVALID_HANDLE_VALUE;
  }
  return input;
}

// Standard output in a file or NUL: the question goes to the console too
// (CONOUT$), so that the operator sees what a key answers.
void ShowOnConsoleToo(const std::string& text) {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  const DWORD type =
      output == INVALID_HANDLE_VALUE || output == nullptr ? FILE_TYPE_UNKNOWN : GetFileType(output);
  const bool hidden = type == FILE_TYPE_DISK || (type == FILE_TYPE_CHAR && !GetConsoleMode(output, &mode));
  if (!hidden) return;
  const HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (screen == INVALID_HANDLE_VALUE) return;
  std::string lines;
  for (const char c : text) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
  DWORD written = 0;
  WriteFile(screen, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
  CloseHandle(screen);
}

// Throws away every key typed until kSettleMs from now. The runtime keeps
// the second code of an arrow or function key for the next _getch, and
// _kbhit reports it: take it, and any key already there, then empty the
// console's queue. Reading the keys as well as flushing matters on a
// console that hands input over only to a waiting read.
void SettleConsole(HANDLE input) {
  const ULONGLONG until = GetTickCount64() + kSettleMs;
  do {
    while (_kbhit()) _getch();
    FlushConsoleInputBuffer(input);
    Sleep(10);
  } while (GetTickCount64() < until);
  while (_kbhit()) _getch();
  FlushConsoleInputBuffer(input);
}

}  // namespace

Consent AwaitConsent(const std::string& question, const char*) {
  const HANDLE input = OpenConsoleInput();
  if (input != INVALID_HANDLE_VALUE) {
    ShowOnConsoleToo(question);
    SettleConsole(input);
    CloseHandle(input);
  }
  return QuietSettle::Answer(WaitForKeyPress()) == KeyVerdict::kConsent ? Consent::kGiven
                                                                        : Consent::kDeclined;
}

}  // namespace platform
