// The 128-byte contents of the serial configuration EEPROM of a PLX9054/9080
// board, and the two word orders it travels in.
//
// File order: 64 little-endian 16-bit words; a 32-bit register takes two
// consecutive words, the more significant first. Register order: every
// 32-bit register is one little-endian 32-bit value, as the board library
// reads and writes it. 16-bit fields and the Extra text are the same in both.
#ifndef VANTREL_EEPROM_EEPROM_IMAGE_H
#define VANTREL_EEPROM_EEPROM_IMAGE_H

#include <cstdint>

#include "eeprom/eeprom_layout.h"

struct EepromImage {
  std::uint8_t bytes[kEepromImageSize];
};

// The one image of the run; all zero at start.
extern EepromImage g_eeprom_image;

// Converts the eighteen 32-bit registers of `image` (the fields of
// kEepromLayout that are kRegisterWidth wide) from file order to
// register order, or back: the same exchange of 16-bit halves either way.
// The open board library uses it too, so that the two sides of a file can
// never disagree on which fields are registers.
void ConvertWordOrder(EepromImage& image);
// The same for g_eeprom_image.
void ConvertWordOrder();

#endif
