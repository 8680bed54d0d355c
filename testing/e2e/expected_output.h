// The program's fixed texts as the end-to-end suites expect them, written
// out once, and the simulated library's journal lines that most runs share.
#ifndef VANTREL_E2E_EXPECTED_OUTPUT_H
#define VANTREL_E2E_EXPECTED_OUTPUT_H

#include <string>

#include "testing/e2e/session.h"

namespace e2e {

inline const std::string kPressAnyKey = "Press any key to exit...\n";
// The help screen, written out as the operator sees it: a changed help text
// must change this too. option/print_usage_test.cpp keeps its own copy for
// the layout alone, so that a wrong screen says which layer broke it.
inline const std::string kUsageScreen =
    "USAGE: Vantrel.exe [options]\n"
    "\n"
    "Options:\n"
    "  --flash, -f  Write EEPROM from *.bin file to device flash.\n"
    "Usage: -f tarn.bin\n"
    "  --save, -s   Save current EEPROM data from device flash to file.\n"
    "Usage: -s old_eeprom.bin\n"
    "\n"
    "Examples:\n"
    "  Vantrel.exe -f brook.bin\n"
    "  Vantrel.exe --flash tarn.bin\n"
    "  Vantrel.exe -s 2014_10_11.bin\n"
    "\n" +
    kPressAnyKey;
inline const std::string kNotFound = "BRDLINK.DLL library was not found!\n" + kPressAnyKey;
inline const std::string kSearch = "Search for PLX9054 devices...\n";
inline const std::string kNoBoard = kSearch + "No active PLX9054 devices found.\n" + kPressAnyKey;
inline const std::string kPrompt = "Select device to work with: ";
// The listing of the one board of id 0x02014c31 that most cases use.
inline const std::string kListed = kSearch + "[1] AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]\n";
// The listing of `boards` boards that all show as `model`, up to the prompt.
inline std::string ListingOf(int boards, const std::string& model) {
  std::string listed = kSearch;
  for (int board = 1; board <= boards; ++board) listed += "[" + std::to_string(board) + "] " + model + "\n";
  return listed + kPrompt;
}
inline const std::string kConfirm =
    "\n!WARNING! EEPROM writing operation is irreversible! !WARNING!\n\n"
    "Press ESC to abort writing operation or any other key to continue...\n";
inline const std::string kFlashed =
    "Writing EEPROM...\nEEPROM data was succesfully written to flash.\n" + kPressAnyKey;
// The refusals of a flash whose warning could not be shown.
inline const std::string kOutputNotShown =
    "vantrel: standard output cannot be written, so the image and the warning were not shown: nothing was "
    "written to the board\n";
inline const std::string kTerminalNotShown =
    "vantrel: the warning could not be shown on the terminal the keys come from: nothing was written to the "
    "board\n";
inline const std::string kSaved = "EEPROM data was saved successfully.\n";
inline const std::string kDeviceRead = "Reading EEPROM data from device...\nEEPROM data from device flash:\n";

// The line of standard error that gives the reason of a failure with
// `path`: "vantrel: PATH: " and `posix` on Linux, `windows` under Wine, each
// a regular expression. An empty `windows` expects the POSIX words there too.
inline std::string WhyLine(const std::string& path, const std::string& posix,
                           const std::string& windows = "") {
  return "vantrel: " + path + ": " + (kUnderWine && !windows.empty() ? windows : posix) + "\n";
}
// The Windows system's words for error `code`, in whatever wording the
// system has (Wine's differ from Windows' own).
inline std::string WindowsError(int code) { return ".* \\(error " + std::to_string(code) + "\\)"; }
// The line of an image that is not 128 bytes long, loaded all the same.
inline std::string SizeLine(const std::string& path, long long bytes) {
  return "vantrel: " + path + " holds " + std::to_string(bytes) + " bytes, not 128\n";
}
// The journal of the simulated library up to the interface it hands out.
inline const std::string kLoaded = "load\nCreateInterface(\"IPLX9080\", 0) = interface\n";

}  // namespace e2e

#endif
