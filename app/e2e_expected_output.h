// The program's fixed texts as the end-to-end suites expect them, written
// out once.
#ifndef VANTREL_APP_E2E_EXPECTED_OUTPUT_H
#define VANTREL_APP_E2E_EXPECTED_OUTPUT_H

#include <string>

namespace e2e {

inline const std::string kPressAnyKey = "Press any key to exit...\n";
inline const std::string kNotFound = "BRDLINK.DLL library was not found!\n" + kPressAnyKey;
inline const std::string kPrompt = "Select device to work with: ";
// The listing of the one board of id 0x02014c31 that most cases use.
inline const std::string kListed =
    "Search for PLX9054 devices...\n[1] AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]\n";
inline const std::string kConfirm =
    "\n!WARNING! EEPROM writing operation is irreversible! !WARNING!\n\n"
    "Press ESC to abort writing operation or any other key to continue...\n";
inline const std::string kSaved = "EEPROM data was saved successfully.\n";

}  // namespace e2e

#endif
