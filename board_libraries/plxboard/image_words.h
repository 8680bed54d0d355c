// Between the EEPROM's 64 words and the image the tool hands over.
#ifndef VANTREL_PLXBOARD_IMAGE_WORDS_H
#define VANTREL_PLXBOARD_IMAGE_WORDS_H

#include <cstdint>

#include "eeprom/eeprom_image.h"

namespace plx {

// The tool works in register order and turns it into file order (one
// little-endian 16-bit word after the other, each 32-bit register's more
// significant half first) with the tool's own ConvertWordOrder, used here
// too. The image given to the tool is the words little-endian with that
// exchange made, so that a file the tool saves holds exactly the EEPROM's
// words.
void WordsToImage(const std::uint16_t words[64], EepromImage& image);
void ImageToWords(const EepromImage& image, std::uint16_t words[64]);

}  // namespace plx

#endif
