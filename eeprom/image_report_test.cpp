#include "eeprom/image_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <string>

#include "eeprom/eeprom_image.h"

namespace {

std::string Report(std::ostream& out, std::ostringstream& text) {
  PrintImageReport(out);
  return text.str();
}

std::string LineStartingWith(const std::string& report, const std::string& label) {
  const std::size_t start = report.find("\n" + label);
  if (start == std::string::npos) return "(no line " + label + ")";
  return report.substr(start + 1, report.find('\n', start + 1) - start - 1);
}

TEST(ImageReportTest, ValuesAreZeroFilledLowerCaseHexWhateverTheStreamWasLeftIn) {
  g_eeprom_image = EepromImage{};
  g_eeprom_image.bytes[0] = 0x1a;                                 // Device ID
  g_eeprom_image.bytes[12] = 0x1a;                                // Mailbox 0
  std::memcpy(g_eeprom_image.bytes + 84, "\xef\xbe\xad\xde", 4);  // expansion ROM base

  using Setup = void (*)(std::ostream&);
  const Setup setups[] = {
      [](std::ostream&) {},
      [](std::ostream& out) { out << std::dec << 10; },
      [](std::ostream& out) { out << std::oct << std::uppercase << std::showbase << std::left; },
      [](std::ostream& out) { out << std::setfill('*') << std::setw(30); },
  };
  for (const Setup setup : setups) {
    std::ostringstream text;
    setup(text);
    const std::ios_base::fmtflags flags = text.flags();
    const std::string report = Report(text, text);
    EXPECT_EQ(LineStartingWith(report, "Device ID"), "Device ID: 0x001a");
    EXPECT_EQ(LineStartingWith(report, "Vendor ID"), "Vendor ID: 0x0000");
    EXPECT_EQ(LineStartingWith(report, "Mailbox 0"), "Mailbox 0: 0x0000001a");
    EXPECT_EQ(LineStartingWith(report, "PCI Base Address for Local"),
              "PCI Base Address for Local Expansion ROM: 0xdeadbeef");
    // The caller's formatting is left as it was.
    EXPECT_EQ(text.flags(), flags);
  }
}

TEST(ImageReportTest, OpensAndClosesWithRulesAndEmptyLines) {
  g_eeprom_image = EepromImage{};
  std::ostringstream text;
  const std::string report = Report(text, text);
  const std::string rule(37, '-');
  EXPECT_EQ(report.substr(0, 39), "\n" + rule + "\n");
  EXPECT_EQ(report.substr(report.size() - 48), "\nExtra: \n" + rule + "\n\n");
  // Rules, 26 values, Extra and the two empty lines.
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 31);
}

TEST(ImageReportTest, ExtraEndsAtItsNulOrWithTheImage) {
  struct ExtraCase {
    const char* bytes;  // 40 bytes
    const char* shown;
  };
  const ExtraCase cases[] = {
      {"board 7\0garbage after the terminator....", "board 7"},
      {"\0no text at all.........................", ""},
      {"forty bytes of text without any NUL byte", "forty bytes of text without any NUL byte"},
  };
  for (const ExtraCase& c : cases) {
    g_eeprom_image = EepromImage{};
    std::memcpy(g_eeprom_image.bytes + kExtraOffset, c.bytes, kExtraSize);
    std::ostringstream text;
    EXPECT_EQ(LineStartingWith(Report(text, text), "Extra"), std::string("Extra: ") + c.shown);
  }
}

}  // namespace
