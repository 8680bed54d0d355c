// What a sudden end of the process, by foreign code, puts right first. Both
// are async-signal-safe: they run from a crash handler or an exit handler on
// any thread.
#ifndef VANTREL_PLATFORM_PROCESS_END_POSIX_H
#define VANTREL_PLATFORM_PROCESS_END_POSIX_H

namespace platform {

// The terminal's settings, where a key wait has changed them.
void RestoreTerminalOfKeyWait();
// A save's temporary file not yet in place.
void RemoveTemporaryOfSave();

}  // namespace platform

#endif
