// The 128-byte contents of the serial configuration EEPROM of a PLX9054/9080
// board.
#ifndef VANTREL_EEPROM_EEPROM_IMAGE_H
#define VANTREL_EEPROM_EEPROM_IMAGE_H

#include <cstdint>

constexpr int kEepromImageSize = 128;

struct EepromImage {
  std::uint8_t bytes[kEepromImageSize];
};

#endif
