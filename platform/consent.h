// The one rule for when a key may write a board.
#ifndef VANTREL_PLATFORM_CONSENT_H
#define VANTREL_PLATFORM_CONSENT_H

#include <string>

namespace platform {

enum class Consent {
  kGiven,
  kDeclined,
  // The warning could not be shown on the terminal the keys come from.
  kNotShown,
  // Standard input is the image file itself: its bytes cannot answer.
  kImageAnswers,
};

// Asks for consent to an irreversible write, once the warning and the
// question (`question`, lines ending in '\n') were written to standard
// output. Where keys come from a terminal, a key is consent only when all
// of these hold:
//  1. The warning reached the operator's screen: the question was written,
//     completely, to the very terminal the key is read from, by standard
//     output when that is the terminal, else by a copy written straight to
//     it (a pipe, a file, a device or another terminal on standard output).
//     No copy written in full: kNotShown, and no key is read.
//  2. The keyboard went quiet after it: every key that arrives before the
//     terminal stayed quiet for kSettleMs (consent_settle.h) is read and
//     thrown away, and starts the quiet over: keys typed before the
//     warning, a key held down, a paste. Nothing typed is echoed.
//  3. A declining key declines at once, also during the settle and also
//     when it was typed before the warning: ESC, an escape sequence that
//     is no key, a C1 control, end of input, Ctrl+C (also where SIGINT was
//     ignored when the program started). Only a plain key consents.
//  4. After an interruption the rule starts again: a continue after a stop
//     throws away what was typed, shows the question on the terminal again
//     and settles again.
// Scripted input (standard input not a terminal) answers with its next
// byte, unless it is the very file `image_path` was loaded from. On Windows
// the keys come from the console whatever standard input is, read record
// by record: the copy goes to the console's screen whenever standard output
// is not that screen, and since the console reports key-ups, a key-down of
// a key still down from before is a repeat and never counts (2).
Consent AwaitConsent(const std::string& question, const char* image_path);

}  // namespace platform

#endif
