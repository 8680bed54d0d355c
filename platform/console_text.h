// Text from outside the program (file names, the image's Extra text, the
// loader's messages) made safe to show on a terminal or console.
#ifndef VANTREL_PLATFORM_CONSOLE_TEXT_H
#define VANTREL_PLATFORM_CONSOLE_TEXT_H

#include <string>
#include <string_view>

namespace platform {

// `text` with every control character shown as '?', the way `ls` shows such
// names: the bytes 0x00-0x1F and 0x7F, a byte 0x80-0x9F that is not part of
// a valid UTF-8 sequence (8-bit terminals read a raw 0x9B as CSI), and the
// UTF-8 encodings of U+0080-U+009F. Everything else, valid UTF-8 and stray
// bytes 0xA0-0xFF included, stays as it is.
//
// Where the terminal or console does not take UTF-8 (the locale's codeset,
// on Windows the console's output code page), every byte 0x80-0x9F is '?',
// also inside a valid UTF-8 sequence: such a terminal reads U+201B's last
// byte, 0x9B, as CSI.
//
// A terminal answers some sequences (ESC [ 6 n, ESC [ c) by typing a reply:
// printed raw, a file could answer the tool's own confirmation.
std::string ConsoleSafe(std::string_view text);
std::string ConsoleSafe(std::string_view text, bool utf8_console);

}  // namespace platform

#endif
