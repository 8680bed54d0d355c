#include <utility>

#include "eeprom/eeprom_image.h"

namespace {

// The 32-bit registers: offsets 12 to 64, then 72 to 84. The word at 68
// holds the two 16-bit subsystem fields and stays as it is.
constexpr int kRegisterOffsets[] = {12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60, 64, 72, 76, 80, 84};

}  // namespace

void ConvertWordOrder(EepromImage& image) {
  for (const int offset : kRegisterOffsets) {
    std::uint8_t* field = image.bytes + offset;
    std::swap(field[0], field[2]);
    std::swap(field[1], field[3]);
  }
}
