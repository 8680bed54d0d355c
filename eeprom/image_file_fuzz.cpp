// Fuzzes the image loader over arbitrary file contents and sizes. The input
// is the file; when its first byte is 'S', the file is also stretched, with a
// hole, to just over 4 GiB, so that very large sizes come through too.
//
// Checked: the loader reports success for every readable file, fills the
// image from the file's first bytes (at most 128), leaves the rest of the
// image as it was, and prints exactly the one success line.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "eeprom/eeprom_image.h"
#include "eeprom/image_file.h"

namespace {
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  char path[] = "/tmp/vantrel-image-fuzz-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) std::abort();
  close(fd);
  g_path = path;
  std::atexit([] { unlink(g_path.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(g_path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fflush(file) != 0) std::abort();
  const bool stretched = size > 0 && data[0] == 'S';
  if (stretched && ftruncate(fileno(file), (1LL << 32) + static_cast<long long>(size)) != 0) std::abort();
  if (std::fclose(file) != 0) std::abort();

  for (int i = 0; i < kEepromImageSize; ++i) g_eeprom_image.bytes[i] = static_cast<std::uint8_t>(0xA5 ^ i);
  std::ostringstream out;
  if (LoadImageFile(g_path.c_str(), out) != kImageLoaded) std::abort();
  if (out.str() != "EEPROM data was loaded successfully.\n") std::abort();

  const std::size_t from_file = stretched ? kEepromImageSize : (size < 128 ? size : 128);
  for (std::size_t i = 0; i < kEepromImageSize; ++i) {
    const std::uint8_t expected =
        i < size ? data[i] : (i < from_file ? 0 : static_cast<std::uint8_t>(0xA5 ^ i));
    if (g_eeprom_image.bytes[i] != expected) std::abort();
  }
  return 0;
}
