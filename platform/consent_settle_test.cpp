#include "platform/consent_settle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using platform::KeyVerdict;
using platform::TimedKey;

// A key held from `from_ms` with the given repeat delay and a repeat every
// 33 ms, released at `until_ms`.
std::vector<TimedKey> Held(std::int64_t from_ms, int delay_ms, std::int64_t until_ms, int code = '\n') {
  std::vector<TimedKey> events = {{from_ms, code}};
  for (std::int64_t at = from_ms + delay_ms; at < until_ms; at += 33) events.push_back({at, code});
  return events;
}

std::vector<TimedKey> Then(std::vector<TimedKey> events, const std::vector<TimedKey>& more) {
  events.insert(events.end(), more.begin(), more.end());
  return events;
}

TEST(QuietSettleTest, OnlyAKeyAfterAFullQuietSecondCounts) {
  struct Case {
    std::string name;
    std::vector<TimedKey> events;
    KeyVerdict verdict;
    int event;  // which event decided: -1 for none, or for the last one when a key decided
  };
  const Case cases[] = {
      {"quiet settle, then a key", {{1000, 'k'}}, KeyVerdict::kConsent, 0},
      {"a key a moment too early", {{999, 'k'}}, KeyVerdict::kThrownAway, -1},
      {"typed before the warning", {{-300, '\n'}, {700, 'k'}}, KeyVerdict::kThrownAway, -1},
      {"typed before, then quiet", {{-300, '\n'}, {1000, 'k'}}, KeyVerdict::kConsent, 1},
      {"a key inside the settle restarts it", {{400, 'k'}, {1300, 'k'}}, KeyVerdict::kThrownAway, -1},
      {"...and a second later counts", {{400, 'k'}, {1400, 'k'}}, KeyVerdict::kConsent, 1},
      {"held Enter, 250 ms delay", Then(Held(-20, 250, 1500), {{2400, 'k'}}), KeyVerdict::kThrownAway, -1},
      {"held Enter, 500 ms delay", Then(Held(-20, 500, 1500), {{2400, 'k'}}), KeyVerdict::kThrownAway, -1},
      {"held Enter, 660 ms delay", Then(Held(-20, 660, 1500), {{2400, 'k'}}), KeyVerdict::kThrownAway, -1},
      {"held Enter, 1000 ms delay", Then(Held(-20, 1000, 1500), {{2400, 'k'}}), KeyVerdict::kThrownAway, -1},
      {"held Enter released, a second passes", Then(Held(-20, 500, 1500), {{2600, 'k'}}),
       KeyVerdict::kConsent, -1},
      {"pressed during the settle and held", Held(600, 500, 3000, 'k'), KeyVerdict::kThrownAway, -1},
      {"ESC during the settle", {{300, 'k'}, {500, 27}}, KeyVerdict::kDeclined, 1},
      {"ESC typed before the warning", {{-100, 27}}, KeyVerdict::kDeclined, 0},
      {"Ctrl+C as a key during the settle", {{100, 3}}, KeyVerdict::kDeclined, 0},
      {"end of input during the settle", {{100, platform::kEndOfInput}}, KeyVerdict::kDeclined, 0},
      {"ESC after the settle", {{1500, 27}}, KeyVerdict::kDeclined, 0},
      {"shown again after a continue",
       {{5000, platform::kShownAgain}, {5400, '\n'}, {6300, 'k'}},
       KeyVerdict::kThrownAway,
       -1},
      {"after a continue, a quiet second",
       {{5000, platform::kShownAgain}, {6000, 'k'}},
       KeyVerdict::kConsent,
       1},
  };
  for (const Case& c : cases) {
    const platform::TimelineOutcome outcome = platform::DecideTimeline(c.events);
    EXPECT_EQ(outcome.verdict, c.verdict) << c.name;
    const int last = static_cast<int>(c.events.size()) - 1;
    const int event = c.event >= 0 || c.verdict == KeyVerdict::kThrownAway ? c.event : last;
    EXPECT_EQ(outcome.event, event) << c.name;
  }
}

}  // namespace
