#include "eeprom/eeprom_image.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void FillWithOffsets() {
  for (int i = 0; i < kEepromImageSize; ++i) g_eeprom_image.bytes[i] = static_cast<std::uint8_t>(i);
}

TEST(ConvertWordOrderTest, ExchangesTheHalvesOfExactlyTheEighteenRegisters) {
  FillWithOffsets();
  ConvertWordOrder();
  int registers = 0;
  for (int offset = 0; offset < kEepromImageSize; offset += 4) {
    const std::uint8_t* field = g_eeprom_image.bytes + offset;
    const bool is_register = (offset >= 12 && offset <= 64) || (offset >= 72 && offset <= 84);
    registers += is_register;
    const int first = is_register ? offset + 2 : offset;
    const int second = is_register ? offset : offset + 2;
    EXPECT_EQ(field[0], first) << offset;
    EXPECT_EQ(field[1], first + 1) << offset;
    EXPECT_EQ(field[2], second) << offset;
    EXPECT_EQ(field[3], second + 1) << offset;
  }
  EXPECT_EQ(registers, 18);
}

TEST(ConvertWordOrderTest, FileWordsBecomeOneRegisterValue) {
  g_eeprom_image = EepromImage{};
  const std::uint8_t file_words[] = {0x34, 0x12, 0x78, 0x56};  // 0x1234, then 0x5678
  std::memcpy(g_eeprom_image.bytes + 12, file_words, 4);
  ConvertWordOrder();
  const std::uint8_t register_value[] = {0x78, 0x56, 0x34, 0x12};  // 0x12345678
  EXPECT_EQ(std::memcmp(g_eeprom_image.bytes + 12, register_value, 4), 0);
}

}  // namespace
