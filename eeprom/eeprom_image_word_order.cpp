#include <utility>

#include "eeprom/eeprom_image.h"

void ConvertWordOrder(EepromImage& image) {
  for (const EepromField& field : kEepromLayout) {
    if (field.width != kRegisterWidth) continue;
    std::uint8_t* bytes = image.bytes + field.offset;
    std::swap(bytes[0], bytes[2]);
    std::swap(bytes[1], bytes[3]);
  }
}
