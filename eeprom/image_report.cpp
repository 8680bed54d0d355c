#include "eeprom/image_report.h"

#include <cstdint>
#include <cstring>
#include <iomanip>
#include <ostream>
#include <string_view>

#include "eeprom/eeprom_image.h"
#include "platform/console_text.h"

namespace {

const char kRule[] = "-------------------------------------";

// A little-endian value of `field.width` bytes.
std::uint32_t ValueAt(const EepromField& field) {
  std::uint32_t value = 0;
  for (int i = field.width - 1; i >= 0; --i) value = value << 8 | g_eeprom_image.bytes[field.offset + i];
  return value;
}

}  // namespace

void PrintImageReport(std::ostream& out) {
  const std::ios_base::fmtflags flags = out.flags();
  const char fill = out.fill();

  out << '\n' << kRule << '\n';
  // Only these: no base prefix, no upper case, whatever was set before.
  out.flags(std::ios_base::hex | std::ios_base::right);
  out.fill('0');
  for (const EepromField& field : kEepromLayout) {
    if (&field == &kExtraField) break;
    out << field.label << ": 0x" << std::setw(2 * field.width) << ValueAt(field) << '\n';
  }
  // The text ends at its NUL, or with the image when all 40 bytes are text.
  const char* extra = reinterpret_cast<const char*>(g_eeprom_image.bytes + kExtraOffset);
  const void* nul = std::memchr(extra, '\0', kExtraSize);
  const std::size_t length = nul != nullptr ? static_cast<const char*>(nul) - extra : kExtraSize;
  // Shown, never obeyed: the text comes from a file that anyone may have made.
  out << kExtraField.label << ": " << platform::ConsoleSafe(std::string_view(extra, length)) << '\n';
  out << kRule << "\n\n";

  out.flags(flags);
  out.fill(fill);
}
