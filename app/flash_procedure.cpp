#include "app/flash_procedure.h"

#include <iostream>

#include "app/run_ending.h"
#include "board/board_library.h"
#include "eeprom/eeprom_image.h"
#include "eeprom/image_file.h"
#include "eeprom/image_report.h"
#include "platform/key_press.h"

namespace {

// The write is irreversible: only a real key other than ESC goes on. End of
// input, or no console to read a key from, is no consent.
bool ConfirmWrite() {
  std::cout << "Press ESC to abort writing operation or any other key to continue..." << std::endl;
  const int key = platform::WaitForKeyPress();
  return key != platform::kEscapeKey && key != platform::kEndOfInput;
}

}  // namespace

int FlashProcedure(const char* path, std::int32_t board) {
  std::cout << "Reading EEPROM data from file " << path << "..." << std::endl;
  if (LoadImageFile(path) < 0) {
    std::cout << std::endl << "Press any key to exit..." << std::flush;
    platform::WaitForKeyPress();
    return EndRun();
  }
  ConvertWordOrder();
  std::cout << "EEPROM data from file:" << std::endl;
  PrintImageReport();
  std::cout << "\n!WARNING! EEPROM writing operation is irreversible! !WARNING!\n" << std::endl;
  if (!ConfirmWrite()) return EndRun();

  std::cout << "Writing EEPROM..." << std::endl;
  if (m_pci->InitDevice("", board) != 1) {
    std::cout << "m_pci->InitDevice failed!" << std::endl;
    return FinishRun();
  }
  if (m_pci->WriteFlash(g_eeprom_image) != 64) {
    std::cout << "m_pci->WriteFlash failed!" << std::endl;
    return FinishRun();
  }
  std::cout << "EEPROM data was succesfully written to flash." << std::endl;
  return FinishRun();
}
