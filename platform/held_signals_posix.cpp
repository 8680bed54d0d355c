// Holding signals on POSIX systems.
#include "platform/held_signals.h"

#include <initializer_list>

namespace platform {

sigset_t EndingSignals() {
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

HeldSignals::HeldSignals() {
  // Not held but ignored: a held one would stay pending and end the
  // program as soon as its default action is back.
  sigset_t held = EndingSignals();
  sigdelset(&held, SIGXFSZ);
  ::sigprocmask(SIG_BLOCK, &held, &before_);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &file_size_before_);
}

HeldSignals::~HeldSignals() {
  ::sigaction(SIGXFSZ, &file_size_before_, nullptr);
  ::sigprocmask(SIG_SETMASK, &before_, nullptr);
}

}  // namespace platform
