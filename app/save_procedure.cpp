#include "app/save_procedure.h"

#include <iostream>

#include "app/board_call.h"
#include "app/run_ending.h"
#include "board/board_interface.h"
#include "eeprom/eeprom_image.h"
#include "eeprom/image_file.h"
#include "eeprom/image_report.h"
#include "platform/console_text.h"

int SaveProcedure(const char* path, std::int32_t board) {
  std::cout << "Reading EEPROM data from device...\n";
  if (GuardedInitDevice(board) != kInitDeviceOpened) {
    std::cout << "m_pci->InitDevice failed!\n";
    return FinishRun(kExitFailed);
  }
  if (GuardedReadFlash(g_eeprom_image) != kReadFlashDone) {
    std::cout << "m_pci->ReadFlash failed!\n";
    return FinishRun(kExitFailed);
  }
  std::cout << "EEPROM data from device flash:\n";
  PrintImageReport();
  ConvertWordOrder();
  // Out before the file is written: a signal held through the write ends
  // the program as soon as it is done.
  std::cout << "Writing EEPROM data to file " << platform::ConsoleSafe(path) << "..." << std::endl;
  // The file's own line says how the save went.
  if (SaveImageFile(path) < 0) return FinishRun(kExitFailed);
  NoteFileSaved();
  // A write that failed shows only once the buffer is flushed.
  if (!std::cout.flush()) {
    // The file is good, but the operator has not seen the report, nor the
    // line saying so: not a run that went as asked.
    std::cerr << "vantrel: the report could not be written to standard output (the file was saved)"
              << std::endl;
    return EndRun(kExitFailed);
  }
  return FinishRun(kExitDone);
}
