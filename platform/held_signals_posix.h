// Holding back the signals an operator ends a program with, on POSIX systems.
#ifndef VANTREL_PLATFORM_HELD_SIGNALS_POSIX_H
#define VANTREL_PLATFORM_HELD_SIGNALS_POSIX_H

#include <signal.h>

#include <initializer_list>

namespace platform {

// Holds Ctrl+C (SIGINT), a termination request (SIGTERM), a hang-up (SIGHUP)
// and SIGQUIT for the lifetime of the object; one that arrives meanwhile
// takes effect as the object goes. For work that must not be cut in half.
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, signal_number);
    ::sigprocmask(SIG_BLOCK, &held, &before_);
  }
  ~HeldSignals() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t before_;
};

}  // namespace platform

#endif
