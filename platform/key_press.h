// One key press from the console: no echo, no Enter needed.
#ifndef VANTREL_PLATFORM_KEY_PRESS_H
#define VANTREL_PLATFORM_KEY_PRESS_H

namespace platform {

constexpr int kEscapeKey = 27;
// Ctrl+C as a key: the Windows console delivers it so while a key is read
// (the runtime turns processed input off), and scripted input may hold it.
constexpr int kInterruptKey = 3;
// What a key wait reports when standard input has ended.
constexpr int kEndOfInput = -1;

// Waits for one key press and returns its code (0 to 255). Like the Windows
// console, an arrow or function key delivers two codes, one per call: 0xE0
// (0x00 for F1 to F10), then the key's scan code.
//
// On a terminal the key is read with echo, line editing and output flow
// control off; signals stay on (Ctrl+C interrupts the program), and the
// terminal's settings are put back afterwards, also when a signal ends the
// program during the wait. The terminal's end-of-input key (Ctrl+D) gives
// kEndOfInput. An escape sequence that is no known key gives ESC, and each
// of its other bytes is a key of its own. A C1 control (a byte 0x80-0x9F,
// or its UTF-8 form C2 80 to C2 9F) is the 8-bit form of an escape sequence,
// as a terminal in 8-bit mode sends its replies: it gives ESC too, and so
// does a lone C2 (such a reply split after its first byte). On Windows the
// key is the console's next key record, whatever standard input is
// (platform/console_keys.h): there the ESC key gives ESC with or without a
// character, and so do a C1 control (U+0080 to U+009F) and a key pressed
// with Alt held (Wine's console turns ESC and the key after it into one).
// Elsewhere, when standard input is not a terminal, a key is the next byte
// of std::cin.
//
// This is the plain key wait (the board prompt's closing wait, "Press any
// key to exit..."). Whether a key may write a board is decided by one rule,
// in platform/consent.h: the warning on the keys' own terminal, 1 s of
// quiet after it, declining keys that decline at once, and the rule started
// again after a stop and continue.
int WaitForKeyPress();

}  // namespace platform

#endif
