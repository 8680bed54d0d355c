// One key press from the console: no echo, no Enter needed.
#ifndef VANTREL_PLATFORM_KEY_PRESS_H
#define VANTREL_PLATFORM_KEY_PRESS_H

namespace platform {

constexpr int kEscapeKey = 27;
// What a key wait reports when standard input has ended.
constexpr int kEndOfInput = -1;

// Waits for one key press and returns its code (0 to 255). Like the Windows
// console, an arrow or function key delivers two codes, one per call: 0xE0
// (0x00 for F1 to F10), then the key's scan code.
//
// On a terminal the key is read with echo and line editing off; signals stay
// on (Ctrl+C interrupts the program), and the terminal's settings are put
// back afterwards, also when a signal ends the program during the wait.
// When standard input is not a terminal, a key is the next byte of std::cin.
int WaitForKeyPress();

}  // namespace platform

#endif
