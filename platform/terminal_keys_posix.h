// The terminal key reader of key_press_posix.cpp, as the confirmation of a
// flash uses it: keys read with a time limit, a settle mode the terminal
// shows, and the signals that interrupt a confirmation.
#ifndef VANTREL_PLATFORM_TERMINAL_KEYS_POSIX_H
#define VANTREL_PLATFORM_TERMINAL_KEYS_POSIX_H

#include <memory>

namespace platform {

// What ReadTerminalKey gives besides a key code or kEndOfInput.
constexpr int kTimedOut = -2;
constexpr int kInterrupted = -3;  // the confirmation was continued or interrupted

// Single-key mode for a confirmation, for the lifetime of the object: no
// echo and no line editing from its start. The terminal tells the two
// phases apart by VMIN: 0 while the confirmation settles (keys are read and
// judged as they come), 1 once it takes the answer. A stop and continue
// (Ctrl+Z, fg) puts the mode back and is reported by TakeContinued. When
// SIGINT was ignored by whoever started the program, Ctrl+C is caught
// meanwhile and reported by Interrupted; otherwise it ends the program as
// at any key wait. Only on a terminal (standard input).
struct SingleKeyMode;
class ConfirmationKeyMode {
 public:
  ConfirmationKeyMode();
  ~ConfirmationKeyMode();
  ConfirmationKeyMode(const ConfirmationKeyMode&) = delete;
  ConfirmationKeyMode& operator=(const ConfirmationKeyMode&) = delete;

  // VMIN 0 (settling) or 1 (taking the answer).
  void Settling(bool settling);
  // Whether the program was continued after a stop since the last call.
  bool TakeContinued();
  bool Interrupted() const;

 private:
  std::unique_ptr<SingleKeyMode> mode_;
};

// Whether standard input is a terminal; notes its settings, which every key
// wait puts back.
bool TerminalInput();

// One key from the terminal, decoded as WaitForKeyPress decodes it; waits at
// most `timeout_ms` for its first byte (forever when negative). kTimedOut
// when none came, kInterrupted when a continue or Ctrl+C came first.
int ReadTerminalKey(int timeout_ms);

// Forgets the second code of a two-code key and any bytes read ahead.
void ForgetPendingKeys();

}  // namespace platform

#endif
