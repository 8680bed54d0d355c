// Where each field of the 128-byte EEPROM image lies, and how wide it is:
// the one description of the layout that the report and the word-order
// exchange (and through it the open board library) are both made from.
#ifndef VANTREL_EEPROM_EEPROM_LAYOUT_H
#define VANTREL_EEPROM_EEPROM_LAYOUT_H

#include <iterator>

constexpr int kEepromImageSize = 128;

struct EepromField {
  int offset;  // bytes from the start of the image
  int width;   // 2: a 16-bit field; 4: a 32-bit register; the free text is wider
  const char* label;
};

constexpr int kRegisterWidth = 4;

// In the order the report shows them: the eight 16-bit fields (the
// subsystem fields at 68 and 70 among them, before offset 8), the eighteen
// registers in offset order, then the free text, ended by a NUL when
// shorter. The word at 68 holds the two subsystem fields, so it is no
// register and never exchanged.
inline constexpr EepromField kEepromLayout[] = {
    {0, 2, "Device ID"},
    {2, 2, "Vendor ID"},
    {4, 2, "Class Code"},
    {6, 2, "Class Code, Revision"},
    {68, 2, "Subsystem ID"},
    {70, 2, "Subsystem Vendor ID"},
    {8, 2, "Maximum Latency, Minimum Grant"},
    {10, 2, "Interrupt Pin, Interrupt Line Routing"},
    {12, 4, "Mailbox 0"},
    {16, 4, "Mailbox 1"},
    {20, 4, "Range for PCI-to-Local Adr. Space 0"},
    {24, 4, "Local Base Address (Remap) for PCI-to-Local Address Space 0"},
    {28, 4, "Local Arbitration Register"},
    {32, 4, "Local Bus Big/Little Endian Descriptor Register"},
    {36, 4, "Range for PCI-to-Local Expansion ROM"},
    {40, 4, "Local Base Address (Remap) for PCI-to-Local Expansion ROM"},
    {44, 4, "Bus Region Descriptors for PCI-to-Local Accesses"},
    {48, 4, "Range for Direct Master to PCI"},
    {52, 4, "Local Base Address for Direct Master to PCI Memory"},
    {56, 4, "Local Bus Address for Direct Master to PCI IO/CFG"},
    {60, 4, "PCI Base Address (Remap) for Direct Master to PCI"},
    {64, 4, "PCI Configuration Address Register for Direct Master to PCI IO/CFG"},
    {72, 4, "Range for PCI-to-Local Address Space 1"},
    {76, 4, "Local Base Address (Remap) for PCI-to-Local Address Space 1"},
    {80, 4, "Bus Region Descriptors (Space 1) for PCI-to-Local accesses"},
    {84, 4, "PCI Base Address for Local Expansion ROM"},
    {88, 40, "Extra"},
};

// The free text is the last field and runs to the end of the image.
inline constexpr const EepromField& kExtraField = kEepromLayout[std::size(kEepromLayout) - 1];
constexpr int kExtraOffset = kExtraField.offset;
constexpr int kExtraSize = kEepromImageSize - kExtraOffset;

#endif
