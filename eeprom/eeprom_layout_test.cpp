#include "eeprom/eeprom_layout.h"

#include <gtest/gtest.h>

namespace {

// Every byte of the image in exactly one field, eighteen registers that the
// word-order exchange can take apart into two words, the text last.
TEST(EepromLayoutTest, FieldsTileTheImage) {
  int owner[kEepromImageSize];
  for (int& field : owner) field = -1;
  int registers = 0;
  int size = 0;
  for (int i = 0; i < static_cast<int>(std::size(kEepromLayout)); ++i) {
    const EepromField& field = kEepromLayout[i];
    const bool text = &field == &kExtraField;
    EXPECT_TRUE(text || field.width == 2 || field.width == kRegisterWidth) << field.label;
    EXPECT_EQ(field.offset % (text ? 1 : field.width), 0) << field.label;
    registers += field.width == kRegisterWidth;
    size += field.width;
    for (int byte = field.offset; byte < field.offset + field.width && byte < kEepromImageSize; ++byte) {
      EXPECT_EQ(owner[byte], -1) << field.label << " overlaps " << kEepromLayout[owner[byte]].label;
      owner[byte] = i;
    }
  }
  EXPECT_EQ(registers, 18);
  EXPECT_EQ(size, kEepromImageSize);
  EXPECT_EQ(kExtraOffset + kExtraSize, kEepromImageSize);
}

}  // namespace
