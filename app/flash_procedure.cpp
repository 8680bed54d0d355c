#include "app/flash_procedure.h"

#include <iostream>
#include <string>

#include "app/board_call.h"
#include "app/exit_status.h"
#include "app/run_ending.h"
#include "board/board_interface.h"
#include "board/board_library.h"
#include "eeprom/eeprom_image.h"
#include "eeprom/image_file.h"
#include "eeprom/image_report.h"
#include "platform/console_text.h"
#include "platform/key_press.h"
#include "platform/standard_streams.h"

namespace {

enum class Answer { kWrite, kDeclined, kNotShown };

constexpr char kWarning[] = "\n!WARNING! EEPROM writing operation is irreversible! !WARNING!\n";
constexpr char kConfirmation[] = "Press ESC to abort writing operation or any other key to continue...";

// The write is irreversible: only a key pressed once the warning could have
// been read goes on, and only one other than ESC. Keys typed before, and
// for a settle time after it appeared (a second Enter at the board prompt,
// however late, a key pressed while the report scrolled), are thrown away.
// End of input, or no console to read a key from, is no consent, and nor is
// Ctrl+C read as a key (the Windows console delivers it so while a key is
// read): an operator presses it to stop. Nor is any key when the report,
// the warning or this line went nowhere (standard output closed, full, or a
// pipe nobody reads).
Answer ConfirmWrite() {
  std::cout << kConfirmation << std::endl;
  if (!std::cout) return Answer::kNotShown;
  // Standard output in a file or /dev/null: the operator at the terminal
  // still sees what the key answers.
  platform::ShowOnTerminalToo(std::string(kWarning) + "\n" + kConfirmation + "\n");
  platform::DiscardTypedKeys();
  const int key = platform::WaitForKeyPress();
  const bool declined =
      key == platform::kEscapeKey || key == platform::kInterruptKey || key == platform::kEndOfInput;
  return declined ? Answer::kDeclined : Answer::kWrite;
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
  switch (ConfirmWrite()) {
    case Answer::kWrite:
      break;
    case Answer::kDeclined:
      return EndRun(kExitAborted);
    case Answer::kNotShown:
      std::cerr << "vantrel: standard output cannot be written, so the image and the warning were not shown: "
                   "nothing was written to the board"
                << std::endl;
      return EndRun(kExitFailed);
  }

  std::cout << "Writing EEPROM...\n";
  if (CallBoard("InitDevice", [board] { return m_pci->InitDevice("", board); }) != kInitDeviceOpened) {
    std::cout << "m_pci->InitDevice failed!\n";
    return FinishRun(kExitFailed);
  }
  if (CallBoard("WriteFlash", [] { return m_pci->WriteFlash(g_eeprom_image); }) != kWriteFlashDone) {
    std::cout << "m_pci->WriteFlash failed!\n";
    return FinishRun(kExitFailed);
  }
  std::cout << "EEPROM data was succesfully written to flash.\n";
  return FinishRun(kExitDone);
}
