// Holding back the signals that would end the program, on POSIX systems.
#ifndef VANTREL_PLATFORM_HELD_SIGNALS_POSIX_H
#define VANTREL_PLATFORM_HELD_SIGNALS_POSIX_H

#include <signal.h>

#include <initializer_list>

namespace platform {

// The signals whose default action ends the program, other than the faults
// that mean a crash (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP,
// SIGSYS) and SIGKILL, which nothing holds.
inline sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, SIGUSR2, SIGIO,
                                  SIGPROF, SIGVTALRM, SIGXCPU,
#ifdef SIGPWR
                                  SIGPWR,
#endif
#ifdef SIGSTKFLT
                                  SIGSTKFLT,
#endif
                                  SIGXFSZ}) {
    sigaddset(&set, signal_number);
  }
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number)
    sigaddset(&set, signal_number);
  return set;
}

// Holds every signal of EndingSignals (Ctrl+C, a termination request, a
// hang-up, a timer, a user signal...) for the lifetime of the object; one
// that arrives meanwhile takes effect as the object goes. For work that
// must not be cut in half. SIGXFSZ (a file size limit) is ignored
// meanwhile instead, so that a write past the limit fails with EFBIG and
// is reported rather than ending the program later.
class HeldSignals {
 public:
  HeldSignals() {
    // Not held but ignored: a held one would stay pending and end the
    // program as soon as its default action is back.
    sigset_t held = EndingSignals();
    sigdelset(&held, SIGXFSZ);
    ::sigprocmask(SIG_BLOCK, &held, &before_);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &file_size_before_);
  }
  ~HeldSignals() {
    ::sigaction(SIGXFSZ, &file_size_before_, nullptr);
    ::sigprocmask(SIG_SETMASK, &before_, nullptr);
  }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t before_;
  struct sigaction file_size_before_;
};

}  // namespace platform

#endif
