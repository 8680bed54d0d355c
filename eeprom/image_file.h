// Image files: the 128 bytes of the EEPROM in file order.
#ifndef VANTREL_EEPROM_IMAGE_FILE_H
#define VANTREL_EEPROM_IMAGE_FILE_H

#include <iostream>

constexpr int kImageLoaded = 0;
constexpr int kImageNotOpened = -1;
constexpr int kImageReadShort = -3;

constexpr int kImageSaved = 1;
constexpr int kImageNotCreated = -1;
constexpr int kImageWrittenShort = -2;

// Reads the file at `path` into the start of g_eeprom_image: its first 128
// bytes, or fewer from a shorter file (the rest stays as it was). Prints one
// line saying how it went and returns kImageLoaded, kImageNotOpened or
// kImageReadShort.
int LoadImageFile(const char* path, std::ostream& out = std::cout);

// Writes the 128 bytes of g_eeprom_image to `path`, replacing what is there
// only once all of them are written. Prints one line saying how it went and
// returns kImageSaved, kImageNotCreated or kImageWrittenShort.
int SaveImageFile(const char* path, std::ostream& out = std::cout);

#endif
