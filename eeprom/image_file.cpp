#include "eeprom/image_file.h"

#include <iostream>
#include <string>

#include "eeprom/eeprom_image.h"
#include "platform/console_text.h"
#include "platform/file_access.h"

namespace {

// A failure's reason, in the one line standard error gets for it.
void SayWhy(const std::string& why) {
  if (!why.empty()) std::cerr << "vantrel: " << platform::ConsoleSafe(why) << std::endl;
}

// An empty name names no file at all: said so, rather than as a missing one.
const char kEmptyName[] = "the file name is empty";

}  // namespace

int LoadImageFile(const char* path, std::ostream& out) {
  std::string why = *path == '\0' ? kEmptyName : "";
  const platform::FileRead file =
      *path == '\0' ? platform::FileRead()
                    : platform::ReadFileStart(path, g_eeprom_image.bytes, kEepromImageSize, &why);
  if (!file.opened) {
    out << "Couldn`t open file " << platform::ConsoleSafe(path) << std::endl;
    SayWhy(why);
    return kImageNotOpened;
  }
  if (file.read != file.requested) {
    out << "File reading failed!" << std::endl;
    SayWhy(why);
    return kImageReadShort;
  }
  out << "EEPROM data was loaded successfully.\n";
  // Loaded all the same, but a board flashed with it gets zeros past the
  // file's end (an empty file takes the board's PCI identity with it) or
  // loses the file's tail: the operator is told before being asked.
  if (file.file_size >= 0 && file.file_size != kEepromImageSize) {
    out.flush();
    SayWhy(std::string(path) + " holds " + std::to_string(file.file_size) + " bytes, not " +
           std::to_string(kEepromImageSize));
  }
  return kImageLoaded;
}

int SaveImageFile(const char* path, std::ostream& out) {
  std::string why = *path == '\0' ? kEmptyName : "";
  const platform::FileWrite file =
      *path == '\0' ? platform::FileWrite()
                    : platform::WriteReplacingFile(path, g_eeprom_image.bytes, kEepromImageSize, &why);
  if (!file.opened) {
    out << "Couldn`t open file" << std::endl;
    SayWhy(why);
    return kImageNotCreated;
  }
  if (file.written != kEepromImageSize) {
    out << "Error write file" << std::endl;
    SayWhy(why);
    return kImageWrittenShort;
  }
  out << "EEPROM data was saved successfully.\n";
  return kImageSaved;
}
