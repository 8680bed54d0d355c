#include "eeprom/image_file.h"

#include <iostream>
#include <string>

#include "eeprom/eeprom_image.h"
#include "platform/console_text.h"
#include "platform/file_access.h"

int LoadImageFile(const char* path, std::ostream& out) {
  const platform::FileRead file = platform::ReadFileStart(path, g_eeprom_image.bytes, kEepromImageSize);
  if (!file.opened) {
    out << "Couldn`t open file " << platform::ConsoleSafe(path) << std::endl;
    return kImageNotOpened;
  }
  if (file.read != file.requested) {
    out << "File reading failed!" << std::endl;
    return kImageReadShort;
  }
  out << "EEPROM data was loaded successfully.\n";
  return kImageLoaded;
}

int SaveImageFile(const char* path, std::ostream& out) {
  std::string why;
  const platform::FileWrite file =
      platform::WriteReplacingFile(path, g_eeprom_image.bytes, kEepromImageSize, &why);
  if (!file.opened) {
    out << "Couldn`t open file" << std::endl;
    if (!why.empty()) std::cerr << "vantrel: " << platform::ConsoleSafe(why) << std::endl;
    return kImageNotCreated;
  }
  if (file.written != kEepromImageSize) {
    out << "Error write file" << std::endl;
    // Where the old file went when it could not be put back.
    if (!why.empty()) std::cerr << "vantrel: " << platform::ConsoleSafe(why) << std::endl;
    return kImageWrittenShort;
  }
  out << "EEPROM data was saved successfully.\n";
  return kImageSaved;
}
