// Drives one run of the program the way an operator does: standard input on
// a pseudo-terminal (or a pipe) where keys and answers are typed, standard
// output and standard error collected through pipes.
#ifndef VANTREL_E2E_SESSION_H
#define VANTREL_E2E_SESSION_H

#include <gtest/gtest.h>
#include <sys/types.h>
#include <termios.h>

#include <map>
#include <string>
#include <vector>

namespace e2e {

// True when the program under test is the Windows build, started through the
// Wine loader VANTREL_WINE in the prefix that WINEPREFIX names. Standard
// output then arrives with CR LF (turned into LF here), typed LF becomes CR,
// and the registry is Wine's.
#ifdef VANTREL_WINE
constexpr bool kUnderWine = true;
#else
constexpr bool kUnderWine = false;
#endif
// Why a case of signals sent to the program skips under Wine.
constexpr const char* kPosixSignalsOnly = "POSIX signals and terminal modes: the Linux build's own";
// Whether 32-bit x86 programs, Wine's among them, run here through qemu-user
// (binfmt_misc's qemu-i386 entry enabled, as scripts/setup-i386-emulation
// leaves it on a machine that cannot run them itself).
bool X86RunsEmulated();

struct Ending {
  bool exited = false;  // false: killed by a signal, or did not end in time
  int status = -1;      // exit status when `exited`
  int signal = 0;       // the signal that ended it, if any
  std::string output;   // all of standard output
  std::string errors;   // all of standard error
};

// How a run is started; the defaults are an operator at a terminal.
struct SessionOptions {
  // False: standard input is a pipe holding `input`, closed after it.
  bool terminal_input = true;
  std::string input = "";
  // The program's current folder; "" for the test's own.
  std::string folder = "";
  // Standard input closed, or the terminal left non-blocking, at the start.
  bool input_closed = false;
  bool input_non_blocking = false;
  // Standard input read from this file instead ("" for none).
  std::string input_file = "";
  // The terminal on standard input opened read-only; without becoming the
  // program's controlling terminal (no /dev/tty, no Ctrl+C); and unopenable
  // by its name, as after su (its mode 0400, the program without the
  // privilege to override it).
  bool terminal_read_only = false;
  bool terminal_not_controlling = false;
  bool terminal_name_closed = false;
  // SIGINT ignored by whoever started the program (`trap '' INT`).
  bool interrupt_ignored = false;
  // Where standard output goes: the pipe the session reads, nowhere (closed),
  // /dev/full, a pipe whose reader has gone (SIGPIPE at its default), /dev/null,
  // the file `output_file`, the terminal keys are typed on, or another
  // terminal (both read as TerminalShown and OtherTerminalShown).
  enum class Output {
    kCollected,
    kClosed,
    kFull,
    kReaderGone,
    kNull,
    kFile,
    kTerminal,
    kOtherTerminal
  } output = Output::kCollected;
  std::string output_file = "";
  // 0 or more caps the size of the files the program writes, as `ulimit -f`
  // does: a write beyond raises SIGXFSZ, and fails with EFBIG where that is
  // ignored.
  long long file_size_limit = -1;
  // The program runs without the privilege that lets root open any file
  // (see DropAccessOverride).
  bool ordinary_access = false;
  // 0 or more: the program runs as this user, with these groups (the first
  // one its own). Needs root.
  long long user = -1;
  std::vector<unsigned> groups = {};
};

class Session {
 public:
  // Starts `program` with `args` and the current environment plus `env`.
  Session(const std::string& program, const std::vector<std::string>& args,
          const std::map<std::string, std::string>& env, const SessionOptions& options = SessionOptions());
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Waits until the output so far ends with `text`.
  bool WaitForOutputEnding(const std::string& text);
  // Waits until the program takes keys from the terminal (under Wine: until
  // its output ends with a key prompt, and at the confirmation its settle
  // has passed), then types `bytes`.
  bool PressKey(const std::string& bytes);
  // Waits until the confirmation settles (single-key mode with VMIN 0),
  // then types `bytes`: keys an operator types too early.
  bool TypeWhileSettling(const std::string& bytes);
  // Types `bytes` on the terminal at once.
  void Type(const std::string& bytes);
  // Types `answer` once the selection prompt ends the output (nothing when
  // `answer` is ""), then each of `keys` at a key wait of its own. Fails,
  // with the output so far, where the program never got there.
  testing::AssertionResult AnswerAndPress(const std::string& answer, const std::vector<std::string>& keys);
  // True when the program is still running `milliseconds` from now.
  bool StillRunningAfter(int milliseconds);
  // What the program wrote on the terminal itself so far (and the
  // terminal's echo of what was typed before single-key mode).
  std::string TerminalShown();
  // What the program wrote on the other terminal (Output::kOtherTerminal).
  std::string OtherTerminalShown();
  // The terminal's settings as the program left them.
  struct termios TerminalSettings() const;
  void SetTerminalSettings(const struct termios& settings) const;
  void Signal(int signal_number) const;
  // Stops reading standard output, as a reader that has had enough does.
  void CloseOutput();
  // Stops the program (SIGSTOP) and waits until it has stopped.
  void Stop();
  // Once the program waits for a key, interrupts it the way an operator
  // would: Ctrl+C typed for SIGINT, any other signal sent.
  bool InterruptAtKeyWait(int signal_number);
  // Waits for the program to end (killing it after a timeout).
  Ending Finish();

  const std::string& output() const { return output_; }

 private:
  // Collects whatever the program wrote, waiting at most `milliseconds`.
  void Pump(int milliseconds);
  // Waits until the terminal is in single-key mode with this VMIN.
  bool WaitForKeyMode(cc_t minimum);
  bool Reap(bool wait);

  pid_t child_ = -1;
  int terminal_ = -1;
  int terminal_slave_ = -1;
  int input_ = -1;
  int stdout_ = -1;
  int stderr_ = -1;
  int other_terminal_ = -1;
  int other_terminal_slave_ = -1;
  std::string output_;
  std::string other_terminal_shown_;
  std::string errors_;
  std::string terminal_shown_;  // the terminal side: echoes, and what the program wrote there
  bool ended_ = false;
  int wait_status_ = 0;
};

// The keys of a case whose subject is not a flash's confirmation: on Linux
// they go in as scripted input, which the confirmation takes at once (at a
// terminal it first waits for a quiet second); under Wine, whose keys come
// from the console whatever standard input is, they are typed as ever.
struct KeyInput {
  SessionOptions options;
  std::vector<std::string> typed;  // for AnswerAndPress
};
KeyInput ScriptedOnLinux(const std::vector<std::string>& keys, SessionOptions options = SessionOptions());

// The test name generator of every parameterised suite: its cases are
// named by their `name` field.
struct CaseName {
  template <class Case>
  std::string operator()(const testing::TestParamInfo<Case>& info) const {
    return info.param.name;
  }
};

// How a run ended: it exited (not by a signal) with `status`, and left
// standard error empty when `errors` is "", else matching the regular
// expression `errors` as a whole.
void ExpectExit(const Ending& ending, int status, const std::string& errors = "");

// Gives up, for this process and every program it starts, the privileges that
// let root read, write and search any file whatever its permissions; file
// permissions then apply to root as to its owner. For other users, who do
// not hold them, nothing changes.
void DropAccessOverride();

}  // namespace e2e

#endif
