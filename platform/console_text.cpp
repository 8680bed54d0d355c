#include "platform/console_text.h"

#include <cstddef>
#include <cstdint>

#include "platform/standard_streams.h"

namespace platform {
namespace {

// The length of the valid UTF-8 sequence at the start of `text` (0 when
// there is none) and the character it encodes. Overlong forms, surrogates
// and values above U+10FFFF are not valid.
std::size_t Utf8SequenceAt(std::string_view text, std::uint32_t& code) {
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = code << 6 | (next & 0x3Fu);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string ConsoleSafe(std::string_view text) { return ConsoleSafe(text, ConsoleTakesUtf8()); }

std::string ConsoleSafe(std::string_view text, bool utf8_console) {
  std::string safe;
  safe.reserve(text.size());
  while (!text.empty()) {
    const unsigned char byte = static_cast<unsigned char>(text[0]);
    std::size_t taken = 1;
    bool control = byte < 0x20 || byte == 0x7F;
    if (byte >= 0x80) {
      std::uint32_t code = 0;
      const std::size_t length = Utf8SequenceAt(text, code);
      if (length != 0 && !utf8_console) {
        // Shown byte by byte: each byte 0x80-0x9F is a C1 control there.
        for (std::size_t i = 0; i < length; ++i) {
          const unsigned char part = static_cast<unsigned char>(text[i]);
          safe += part >= 0x80 && part <= 0x9F ? '?' : text[i];
        }
        text.remove_prefix(length);
        continue;
      }
      if (length != 0) {
        taken = length;
        control = code <= 0x9F;
      } else {
        control = byte <= 0x9F;
      }
    }
    if (control) {
      safe += '?';
    } else {
      safe.append(text.data(), taken);
    }
    text.remove_prefix(taken);
  }
  return safe;
}

}  // namespace platform
