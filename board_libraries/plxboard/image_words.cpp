#include "board_libraries/plxboard/image_words.h"

namespace plx {

void WordsToImage(const std::uint16_t words[64], EepromImage& image) {
  for (int word = 0; word < 64; ++word) {
    image.bytes[2 * word] = static_cast<std::uint8_t>(words[word]);
    image.bytes[2 * word + 1] = static_cast<std::uint8_t>(words[word] >> 8);
  }
  ConvertWordOrder(image);  // file order to register order
}

void ImageToWords(const EepromImage& image, std::uint16_t words[64]) {
  EepromImage file_order = image;
  ConvertWordOrder(file_order);
  for (int word = 0; word < 64; ++word) {
    words[word] =
        static_cast<std::uint16_t>(file_order.bytes[2 * word] | file_order.bytes[2 * word + 1] << 8);
  }
}

}  // namespace plx
