// Holding back what would end the program (Ctrl+C, a termination request, a
// hang-up...) while work that must not be cut in half is under way.
#ifndef VANTREL_PLATFORM_HELD_SIGNALS_H
#define VANTREL_PLATFORM_HELD_SIGNALS_H

#ifndef _WIN32
#include <signal.h>
#endif

namespace platform {

// For the lifetime of the object, what would end the program waits; it
// takes effect as the object goes.
//
// POSIX: every signal of EndingSignals is blocked. SIGXFSZ (a file size
// limit) is ignored meanwhile instead, so that a write past the limit fails
// with EFBIG and is reported rather than ending the program later.
//
// Windows: Ctrl+C, Ctrl+Break and the closing of the console. The console
// runs its handlers on a thread of their own; the one installed here lets
// the process end (the next handler, the system's) only once the object
// is gone.
class HeldSignals {
 public:
  HeldSignals();
  ~HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

#ifndef _WIN32
 private:
  sigset_t before_;
  struct sigaction file_size_before_;
#endif
};

#ifndef _WIN32
// The signals whose default action ends the program, other than the faults
// that mean a crash (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP,
// SIGSYS) and SIGKILL, which nothing holds.
sigset_t EndingSignals();
#endif

}  // namespace platform

#endif
