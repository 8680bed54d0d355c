#include "app/flash_procedure.h"

#include <iostream>
#include <string>

#include "app/board_call.h"
#include "app/run_ending.h"
#include "board/board_interface.h"
#include "eeprom/eeprom_image.h"
#include "eeprom/image_file.h"
#include "eeprom/image_report.h"
#include "platform/consent.h"
#include "platform/console_text.h"
#include "platform/key_press.h"

namespace {

constexpr char kWarning[] = "\n!WARNING! EEPROM writing operation is irreversible! !WARNING!\n";
constexpr char kConfirmation[] = "Press ESC to abort writing operation or any other key to continue...";

// The write is irreversible: the report, the warning and the question must
// have reached standard output, and then the operator's key decides, by
// the rule of platform::AwaitConsent. Each refusal but a plain decline
// says why on standard error.
int ConfirmWrite(const char* path) {
  std::cout << kConfirmation << std::endl;
  if (!std::cout) {
    std::cerr << "vantrel: standard output cannot be written, so the image and the warning were not shown: "
                 "nothing was written to the board"
              << std::endl;
    return kExitFailed;
  }
  switch (platform::AwaitConsent(std::string(kWarning) + "\n" + kConfirmation + "\n", path)) {
    case platform::Consent::kGiven:
      return kExitDone;
    case platform::Consent::kDeclined:
      return kExitAborted;
    case platform::Consent::kNotShown:
      std::cerr << "vantrel: the warning could not be shown on the terminal the keys come from: nothing was "
                   "written to the board"
                << std::endl;
      return kExitFailed;
    case platform::Consent::kImageAnswers:
      std::cerr << "vantrel: standard input is the image file itself, so it cannot answer the confirmation: "
                   "nothing was written to the board"
                << std::endl;
      return kExitAborted;
  }
  return kExitFailed;
}

}  // namespace

int FlashProcedure(const char* path, std::int32_t board) {
  std::cout << "Reading EEPROM data from file " << platform::ConsoleSafe(path) << "...\n";
  if (LoadImageFile(path) < 0) {
    std::cout << std::endl << "Press any key to exit..." << std::flush;
    platform::WaitForKeyPress();
    return EndRun(kExitFailed);
  }
  ConvertWordOrder();
  std::cout << "EEPROM data from file:\n";
  PrintImageReport();
  std::cout << kWarning << '\n';
  const int answer = ConfirmWrite(path);
  if (answer != kExitDone) return EndRun(answer);

  std::cout << "Writing EEPROM...\n";
  if (GuardedInitDevice(board) != kInitDeviceOpened) {
    std::cout << "m_pci->InitDevice failed!\n";
    return FinishRun(kExitFailed);
  }
  if (GuardedWriteFlash(g_eeprom_image) != kWriteFlashDone) {
    std::cout << "m_pci->WriteFlash failed!\n";
    return FinishRun(kExitFailed);
  }
  std::cout << "EEPROM data was succesfully written to flash." << std::endl;
  if (!std::cout) {
    // The board holds the image, but the operator has not been told.
    std::cerr << "vantrel: the result could not be written to standard output (the board was written)"
              << std::endl;
    return EndRun(kExitFailed);
  }
  return FinishRun(kExitDone);
}
