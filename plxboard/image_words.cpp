#include "plxboard/image_words.h"

#include <utility>

namespace plx {
namespace {

constexpr int kRegisterOffsets[] = {12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60, 64, 72, 76, 80, 84};

void ExchangeHalves(EepromImage& image) {
  for (const int offset : kRegisterOffsets) {
    std::swap(image.bytes[offset], image.bytes[offset + 2]);
    std::swap(image.bytes[offset + 1], image.bytes[offset + 3]);
  }
}

}  // namespace

void WordsToImage(const std::uint16_t words[64], EepromImage& image) {
  for (int word = 0; word < 64; ++word) {
    image.bytes[2 * word] = static_cast<std::uint8_t>(words[word]);
    image.bytes[2 * word + 1] = static_cast<std::uint8_t>(words[word] >> 8);
  }
  ExchangeHalves(image);
}

void ImageToWords(const EepromImage& image, std::uint16_t words[64]) {
  EepromImage file_order = image;
  ExchangeHalves(file_order);
  for (int word = 0; word < 64; ++word) {
    words[word] =
        static_cast<std::uint16_t>(file_order.bytes[2 * word] | file_order.bytes[2 * word + 1] << 8);
  }
}

}  // namespace plx
