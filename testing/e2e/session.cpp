#include "testing/e2e/session.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <regex>

#include "platform/consent_settle.h"
#include "testing/e2e/expected_output.h"

extern char** environ;

namespace e2e {
namespace {

// How long a run may take to reach the next step. Wine starts slower, above
// all when a 32-bit Wine runs through an emulator.
constexpr int kTimeoutMs = kUnderWine ? 60000 : 10000;

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

void MakePipe(int fds[2]) {
  if (pipe2(fds, O_CLOEXEC) != 0) abort();
}

#ifdef VANTREL_WINE
// Wine's console: Enter is CR. (A lone ESC comes as an ESC key record
// without a character once no sequence has followed for a moment.)
std::string ForTheConsole(const std::string& bytes) {
  std::string typed = bytes;
  for (char& c : typed) {
    if (c == '\n') c = '\r';
  }
  return typed;
}
#else
std::string ForTheConsole(const std::string& bytes) { return bytes; }
#endif

// Wine's console ends lines with CR LF; the expectations are written with LF.
void AppendOutput(std::string& sink, const char* chunk, std::size_t size) {
  sink.append(chunk, size);
  if (!kUnderWine) return;
  for (std::size_t at = sink.find("\r\n"); at != std::string::npos; at = sink.find("\r\n", at))
    sink.erase(at, 1);
}

}  // namespace

void ExpectExit(const Ending& ending, int status, const std::string& errors) {
  EXPECT_TRUE(ending.exited) << "signal " << ending.signal;
  EXPECT_EQ(ending.status, status);
  if (errors.empty()) {
    EXPECT_EQ(ending.errors, "");
  } else {
    EXPECT_TRUE(std::regex_match(ending.errors, std::regex(errors))) << ending.errors;
  }
}

void DropAccessOverride() {
  // Out of the bounding set, so that a program started later cannot get them
  // back, and out of the sets this process holds now.
  ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
  ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return;
  const std::uint32_t dropped = (1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH);
  data[0].effective &= ~dropped;
  data[0].permitted &= ~dropped;
  data[0].inheritable &= ~dropped;
  ::syscall(SYS_capset, &header, data);
}

Session::Session(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const SessionOptions& options) {
  const bool terminal_input = options.terminal_input;
  int out[2];
  int err[2];
  int in[2] = {-1, -1};
  MakePipe(out);
  MakePipe(err);
  std::string terminal_name;
  std::string other_terminal_name;
  // Held open here as well, so that the terminal stays readable (and never
  // hangs up) whether or not the program has it open.
  const auto open_terminal = [](int& master, std::string& name) {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) abort();
    name = ptsname(master);
    const int slave = open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) abort();
    return slave;
  };
  if (options.output == SessionOptions::Output::kOtherTerminal) {
    other_terminal_slave_ = open_terminal(other_terminal_, other_terminal_name);
  }
  if (terminal_input) {
    terminal_slave_ = open_terminal(terminal_, terminal_name);
    if (options.terminal_name_closed && fchmod(terminal_slave_, 0400) != 0) abort();
  } else {
    MakePipe(in);
  }
  if (options.output == SessionOptions::Output::kReaderGone) {
    close(out[0]);
    out[0] = -1;
  }

  // An operator's terminal takes UTF-8 unless a case says otherwise: what
  // the program shows of outside text depends on it.
  std::map<std::string, std::string> settings = {{"LC_ALL", "C.UTF-8"}};
  for (const auto& [name, value] : env) settings[name] = value;
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (settings.count(text.substr(0, text.find('='))) == 0) environment.push_back(text);
  }
  for (const auto& [name, value] : settings) environment.push_back(name + "=" + value);
  if (kUnderWine) environment.push_back("WINEDEBUG=-all");
  std::vector<char*> env_pointers;
  for (std::string& text : environment) env_pointers.push_back(text.data());
  env_pointers.push_back(nullptr);
  std::vector<std::string> argv_strings{program};
#ifdef VANTREL_WINE
  argv_strings.insert(argv_strings.begin(), VANTREL_WINE);
#endif
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& text : argv_strings) argv.push_back(text.data());
  argv.push_back(nullptr);

  child_ = fork();
  if (child_ < 0) abort();
  if (child_ == 0) {
    // A session of its own with the terminal as its controlling terminal, so
    // that Ctrl+C reaches it as SIGINT.
    setsid();
    int input_fd = in[0];
    if (terminal_input) {
      input_fd = open(terminal_name.c_str(), (options.terminal_read_only ? O_RDONLY : O_RDWR) |
                                                 (options.terminal_not_controlling ? O_NOCTTY : 0));
      if (input_fd < 0) _exit(126);
    }
    if (!options.input_file.empty()) input_fd = open(options.input_file.c_str(), O_RDONLY);
    dup2(input_fd, STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    if (options.input_non_blocking) fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    if (options.input_closed) close(STDIN_FILENO);
    if (!options.folder.empty() && chdir(options.folder.c_str()) != 0) _exit(124);
    switch (options.output) {
      case SessionOptions::Output::kCollected:
        break;
      case SessionOptions::Output::kClosed:
        close(STDOUT_FILENO);
        break;
      case SessionOptions::Output::kFull:
        dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO);
        break;
      case SessionOptions::Output::kReaderGone:
        break;  // SIGPIPE at its default, as a shell leaves it
      case SessionOptions::Output::kNull:
        dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
        break;
      case SessionOptions::Output::kFile:
        dup2(open(options.output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        break;
      case SessionOptions::Output::kTerminal:
        dup2(open(terminal_name.c_str(), O_WRONLY | O_NOCTTY), STDOUT_FILENO);
        break;
      case SessionOptions::Output::kOtherTerminal:
        dup2(open(other_terminal_name.c_str(), O_WRONLY | O_NOCTTY), STDOUT_FILENO);
        break;
    }
    if (options.interrupt_ignored) signal(SIGINT, SIG_IGN);
    if (options.terminal_name_closed) DropAccessOverride();
    // As `ulimit -f` leaves it: a write past the limit raises SIGXFSZ,
    // which ends a program that does not see to it itself. Windows has no
    // such signal: under Wine the limit stands for a full disk.
    if (options.file_size_limit >= 0) {
      if (kUnderWine) signal(SIGXFSZ, SIG_IGN);
      const struct rlimit limit = {static_cast<rlim_t>(options.file_size_limit),
                                   static_cast<rlim_t>(options.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.ordinary_access) DropAccessOverride();
    if (options.user >= 0) {
      std::vector<gid_t> groups(options.groups.begin(), options.groups.end());
      if (groups.empty() || setgroups(groups.size(), groups.data()) != 0 || setgid(groups[0]) != 0 ||
          setuid(static_cast<uid_t>(options.user)) != 0)
        _exit(125);
    }
    execve(argv[0], argv.data(), env_pointers.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  stdout_ = out[0];
  stderr_ = err[0];
  if (!terminal_input) {
    close(in[0]);
    input_ = in[1];
    const std::string& input = options.input;
    if (!input.empty() && write(input_, input.data(), input.size()) != static_cast<ssize_t>(input.size()))
      abort();
    close(input_);
    input_ = -1;
  }
}

Session::~Session() {
  if (!ended_) {
    kill(child_, SIGKILL);
    Reap(true);
  }
  for (int fd :
       {terminal_, terminal_slave_, input_, stdout_, stderr_, other_terminal_, other_terminal_slave_}) {
    if (fd >= 0) close(fd);
  }
}

void Session::Pump(int milliseconds) {
  struct pollfd fds[4] = {
      {stdout_, POLLIN, 0}, {stderr_, POLLIN, 0}, {terminal_, POLLIN, 0}, {other_terminal_, POLLIN, 0}};
  if (poll(fds, 4, milliseconds) <= 0) return;
  std::string* sinks[4] = {&output_, &errors_, &terminal_shown_, &other_terminal_shown_};
  for (int i = 0; i < 4; ++i) {
    if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
    char chunk[4096];
    const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
    if (got > 0) AppendOutput(*sinks[i], chunk, static_cast<std::size_t>(got));
  }
}

bool Session::Reap(bool wait) {
  if (ended_) return true;
  const pid_t done = waitpid(child_, &wait_status_, wait ? 0 : WNOHANG);
  ended_ = done == child_;
  return ended_;
}

bool Session::WaitForOutputEnding(const std::string& text) {
  const auto ends_with_text = [this, &text] {
    return output_.size() >= text.size() &&
           output_.compare(output_.size() - text.size(), text.size(), text) == 0;
  };
  const auto start = Clock::now();
  while (ElapsedMs(start) < kTimeoutMs && !ends_with_text() && !Reap(false)) Pump(10);
  Pump(10);
  return ends_with_text();
}

bool Session::InterruptAtKeyWait(int signal_number) {
  if (signal_number == SIGINT) return PressKey("\x03");
  if (!PressKey("")) return false;
  Signal(signal_number);
  return true;
}

bool Session::PressKey(const std::string& bytes) {
  const auto start = Clock::now();
  if (kUnderWine) {
    // Wine's console shows no sign of a key wait: wait for the prompt that
    // stands before every one (a key typed before the confirmation's own
    // line would be thrown away, as it should).
    const auto at_prompt = [this] {
      for (const std::string prompt : {"continue...\n", "exit...\n", "exit..."}) {
        if (output_.size() >= prompt.size() &&
            output_.compare(output_.size() - prompt.size(), prompt.size(), prompt) == 0)
          return true;
      }
      return false;
    };
    while (ElapsedMs(start) < kTimeoutMs && !at_prompt() && !Reap(false)) Pump(5);
    if (!at_prompt()) return false;
    // The confirmation throws keys away for its settle time once its line
    // is out; an operator's key comes after it. Wine's console draws the
    // question's copy on no terminal when standard output is a pipe, so the
    // wait starts from the line on standard output; the settle starts about
    // 40 ms after it reaches this pipe (measured under qemu-user).
    constexpr int kSettleMarginMs = 400;
    const std::string confirmation = "continue...\n";
    if (output_.size() >= confirmation.size() &&
        output_.compare(output_.size() - confirmation.size(), confirmation.size(), confirmation) == 0) {
      const auto shown = Clock::now();
      while (ElapsedMs(shown) < platform::kSettleMs + kSettleMarginMs && !Reap(false)) Pump(5);
    }
    Type(bytes);
    return true;
  }
  if (!WaitForKeyMode(1)) return false;
  Type(bytes);
  return true;
}

bool Session::TypeWhileSettling(const std::string& bytes) {
  if (!WaitForKeyMode(0)) return false;
  Type(bytes);
  return true;
}

bool Session::WaitForKeyMode(cc_t minimum) {
  const auto start = Clock::now();
  while (ElapsedMs(start) < kTimeoutMs && !Reap(false)) {
    const struct termios settings = TerminalSettings();
    if ((settings.c_lflag & ICANON) == 0 && settings.c_cc[VMIN] == minimum) return true;
    Pump(5);
  }
  return false;
}

testing::AssertionResult Session::AnswerAndPress(const std::string& answer,
                                                 const std::vector<std::string>& keys) {
  if (!answer.empty()) {
    if (!WaitForOutputEnding(kPrompt))
      return testing::AssertionFailure() << "no prompt; output so far:\n" << output_;
    Type(answer);
  }
  for (const std::string& key : keys) {
    if (!PressKey(key)) return testing::AssertionFailure() << "no key wait; output so far:\n" << output_;
  }
  return testing::AssertionSuccess();
}

void Session::Type(const std::string& bytes) {
  // Wine switches the terminal to raw mode a moment after it starts; what is
  // typed before that is lost to the console.
  if (kUnderWine) {
    const auto start = Clock::now();
    while (ElapsedMs(start) < kTimeoutMs && (TerminalSettings().c_lflag & ICANON) != 0 && !Reap(false))
      Pump(5);
  }
  const std::string typed = ForTheConsole(bytes);
  if (write(terminal_, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size())) abort();
}

std::string Session::TerminalShown() {
  Pump(0);
  return terminal_shown_;
}

std::string Session::OtherTerminalShown() {
  Pump(0);
  return other_terminal_shown_;
}

bool Session::StillRunningAfter(int milliseconds) {
  const auto start = Clock::now();
  while (ElapsedMs(start) < milliseconds) {
    if (Reap(false)) return false;
    Pump(10);
  }
  return !Reap(false);
}

struct termios Session::TerminalSettings() const {
  struct termios settings {};
  tcgetattr(terminal_, &settings);
  return settings;
}

void Session::SetTerminalSettings(const struct termios& settings) const {
  tcsetattr(terminal_, TCSANOW, &settings);
}

void Session::Signal(int signal_number) const { kill(child_, signal_number); }

void Session::CloseOutput() {
  Pump(0);
  close(stdout_);
  stdout_ = -1;
}

void Session::Stop() {
  kill(child_, SIGSTOP);
  int status = 0;
  if (waitpid(child_, &status, WUNTRACED) == child_ && !WIFSTOPPED(status)) {
    ended_ = true;
    wait_status_ = status;
  }
}

Ending Session::Finish() {
  const auto start = Clock::now();
  while (!Reap(false) && ElapsedMs(start) < kTimeoutMs) Pump(10);
  if (!Reap(false)) {
    kill(child_, SIGKILL);
    Reap(true);
    wait_status_ = -1;
  }
  // Everything the program wrote is in the pipes by now.
  for (;;) {
    const std::size_t before = output_.size() + errors_.size();
    Pump(50);
    if (output_.size() + errors_.size() == before) break;
  }
  Ending ending;
  ending.output = output_;
  ending.errors = errors_;
  if (wait_status_ != -1 && WIFEXITED(wait_status_)) {
    ending.exited = true;
    ending.status = WEXITSTATUS(wait_status_);
  } else if (wait_status_ != -1 && WIFSIGNALED(wait_status_)) {
    ending.signal = WTERMSIG(wait_status_);
  }
  return ending;
}

KeyInput ScriptedOnLinux(const std::vector<std::string>& keys, SessionOptions options) {
  if (kUnderWine) return {options, keys};
  options.terminal_input = false;
  for (const std::string& key : keys) options.input += key;
  return {options, {}};
}

bool X86RunsEmulated() {
  std::ifstream entry("/proc/sys/fs/binfmt_misc/qemu-i386");
  std::string state;
  return std::getline(entry, state) && state == "enabled";
}

}  // namespace e2e
