#include "eeprom/image_report.h"

#include <cstdint>
#include <cstring>
#include <iomanip>
#include <ostream>
#include <string_view>

#include "eeprom/eeprom_image.h"
#include "platform/console_text.h"

namespace {

struct Field {
  int offset;
  int digits;  // 4 for a 16-bit field, 8 for a 32-bit register
  const char* label;
};

// The eight 16-bit fields first (the subsystem fields at 68 and 70 among
// them, before offset 8), then the eighteen registers in offset order.
constexpr Field kFields[] = {
    {0, 4, "Device ID: 0x"},
    {2, 4, "Vendor ID: 0x"},
    {4, 4, "Class Code: 0x"},
    {6, 4, "Class Code, Revision: 0x"},
    {68, 4, "Subsystem ID: 0x"},
    {70, 4, "Subsystem Vendor ID: 0x"},
    {8, 4, "Maximum Latency, Minimum Grant: 0x"},
    {10, 4, "Interrupt Pin, Interrupt Line Routing: 0x"},
    {12, 8, "Mailbox 0: 0x"},
    {16, 8, "Mailbox 1: 0x"},
    {20, 8, "Range for PCI-to-Local Adr. Space 0: 0x"},
    {24, 8, "Local Base Address (Remap) for PCI-to-Local Address Space 0: 0x"},
    {28, 8, "Local Arbitration Register: 0x"},
    {32, 8, "Local Bus Big/Little Endian Descriptor Register: 0x"},
    {36, 8, "Range for PCI-to-Local Expansion ROM: 0x"},
    {40, 8, "Local Base Address (Remap) for PCI-to-Local Expansion ROM: 0x"},
    {44, 8, "Bus Region Descriptors for PCI-to-Local Accesses: 0x"},
    {48, 8, "Range for Direct Master to PCI: 0x"},
    {52, 8, "Local Base Address for Direct Master to PCI Memory: 0x"},
    {56, 8, "Local Bus Address for Direct Master to PCI IO/CFG: 0x"},
    {60, 8, "PCI Base Address (Remap) for Direct Master to PCI: 0x"},
    {64, 8, "PCI Configuration Address Register for Direct Master to PCI IO/CFG: 0x"},
    {72, 8, "Range for PCI-to-Local Address Space 1: 0x"},
    {76, 8, "Local Base Address (Remap) for PCI-to-Local Address Space 1: 0x"},
    {80, 8, "Bus Region Descriptors (Space 1) for PCI-to-Local accesses: 0x"},
    {84, 8, "PCI Base Address for Local Expansion ROM: 0x"},
};

const char kRule[] = "-------------------------------------";

// A little-endian value of `digits / 2` bytes.
std::uint32_t ValueAt(const Field& field) {
  std::uint32_t value = 0;
  for (int i = field.digits / 2 - 1; i >= 0; --i) value = value << 8 | g_eeprom_image.bytes[field.offset + i];
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
  for (const Field& field : kFields) {
    out << field.label << std::setw(field.digits) << ValueAt(field) << '\n';
  }
  // The text ends at its NUL, or with the image when all 40 bytes are text.
  const char* extra = reinterpret_cast<const char*>(g_eeprom_image.bytes + kExtraOffset);
  const void* nul = std::memchr(extra, '\0', kExtraSize);
  const std::size_t length = nul != nullptr ? static_cast<const char*>(nul) - extra : kExtraSize;
  // Shown, never obeyed: the text comes from a file that anyone may have made.
  out << "Extra: " << platform::ConsoleSafe(std::string_view(extra, length)) << '\n';
  out << kRule << "\n\n";

  out.flags(flags);
  out.fill(fill);
}
