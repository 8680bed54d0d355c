// The settle of a confirmation as a pure decision: when a key read from the
// keyboard may count as the operator's answer to a warning on the screen.
// No clock and no terminal here; the caller says when each key arrived, so
// that the same decision runs live and over a table of timelines in tests.
#ifndef VANTREL_PLATFORM_CONSENT_SETTLE_H
#define VANTREL_PLATFORM_CONSENT_SETTLE_H

#include <cstdint>
#include <vector>

#include "platform/key_press.h"

namespace platform {

// How long the keyboard must stay quiet, once the warning is on the screen,
// before a key may answer it. Auto-repeat starts 250 ms (Linux console) to
// 1 s after a key goes down and then repeats every 30-100 ms, and a
// terminal reports no key-ups: only a full second without any key tells a
// fresh press from a key held since before the warning, a paste or a burst.
constexpr int kSettleMs = 1000;

// Keys that end a confirmation without writing, wherever they come in the
// timeline: ESC (also what an escape sequence that is no key, a C1 control
// or a lone 0xC2 read as), Ctrl+C read as a key, and the end of input.
inline bool DeclinesAtOnce(int code) {
  return code == kEscapeKey || code == kInterruptKey || code == kEndOfInput;
}

enum class KeyVerdict { kDeclined, kThrownAway, kConsent };

class QuietSettle {
 public:
  // The warning reached the screen at `shown_ms`.
  explicit QuietSettle(std::int64_t shown_ms) : quiet_since_ms_(shown_ms) {}

  // The earliest moment a key may count, unless another arrives first.
  std::int64_t SettledAt() const { return quiet_since_ms_ + kSettleMs; }

  // The warning was shown again (after a stop and continue): the settle
  // starts over from `now_ms`.
  void Restart(std::int64_t now_ms) { quiet_since_ms_ = now_ms; }

  // A key read while the settle runs, or found waiting when it ends (it
  // arrived inside, however late a busy machine reads it): declined, or
  // thrown away with the quiet starting over from `now_ms`.
  KeyVerdict DuringSettle(std::int64_t now_ms, int code) {
    if (DeclinesAtOnce(code)) return KeyVerdict::kDeclined;
    if (now_ms > quiet_since_ms_) quiet_since_ms_ = now_ms;
    return KeyVerdict::kThrownAway;
  }

  // A key that arrived after the settle ended with no key waiting: the
  // operator's answer.
  static KeyVerdict Answer(int code) {
    return DeclinesAtOnce(code) ? KeyVerdict::kDeclined : KeyVerdict::kConsent;
  }

  // The same, where the keyboard reports key-ups (the Windows console): a
  // key-down of a key that went down before, with no key-up since, is the
  // repeat of a key held from before. It never counts: it is thrown away
  // and the quiet starts over from `now_ms`.
  KeyVerdict Answer(std::int64_t now_ms, int code, bool repeat) {
    if (!repeat || DeclinesAtOnce(code)) return Answer(code);
    Restart(now_ms);
    return KeyVerdict::kThrownAway;
  }

 private:
  std::int64_t quiet_since_ms_;
};

// One event of a timeline: a key code (as WaitForKeyPress gives it) that
// arrived at `ms`, counted from the moment the warning reached the screen
// (negative: typed before it), or kShownAgain.
struct TimedKey {
  std::int64_t ms;
  int code;
  bool repeat = false;  // the key was down already (key-ups are reported)
};
constexpr int kShownAgain = -100;

struct TimelineOutcome {
  KeyVerdict verdict;  // kThrownAway: no key decided
  int event;           // the event that decided, -1 when none did
};

// The decision over a whole timeline, events in order of arrival.
inline TimelineOutcome DecideTimeline(const std::vector<TimedKey>& events) {
  QuietSettle settle(0);
  for (int i = 0; i < static_cast<int>(events.size()); ++i) {
    const TimedKey& event = events[static_cast<std::size_t>(i)];
    if (event.code == kShownAgain) {
      settle.Restart(event.ms);
      continue;
    }
    const KeyVerdict verdict = event.ms < settle.SettledAt()
                                   ? settle.DuringSettle(event.ms, event.code)
                                   : settle.Answer(event.ms, event.code, event.repeat);
    if (verdict != KeyVerdict::kThrownAway) return {verdict, i};
  }
  return {KeyVerdict::kThrownAway, -1};
}

}  // namespace platform

#endif
