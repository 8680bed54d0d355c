#include "option/option_table.h"

#include "option/parsed_option.h"

namespace option {

ArgVerdict check_none(const ParsedOption& /*option*/, bool /*report*/) { return ArgVerdict::None; }

// An empty string counts as an argument: "--flash=" hands "" to the program.
ArgVerdict check_required(const ParsedOption& option, bool /*report*/) {
  return option.argument != nullptr ? ArgVerdict::Ok : ArgVerdict::Illegal;
}

// Row 0 is the first row with both names empty, so every unknown option is
// stored under it; row 3 has the same shape and only contributes its help text.
const OptionDescriptor option_table[5] = {
    {UNKNOWN, 0, "", "", check_none, "USAGE: Vantrel.exe [options]\n\nOptions:"},
    {FLASH, 0, "f", "flash", check_required,
     "  --flash, -f  \tWrite EEPROM from *.bin file to device flash.\nUsage: -f tarn.bin"},
    {SAVE, 0, "s", "save", check_required,
     "  --save, -s  \tSave current EEPROM data from device flash to file.\nUsage: -s old_eeprom.bin"},
    {UNKNOWN, 0, "", "", check_none,
     "\nExamples:\n  Vantrel.exe -f brook.bin\n  Vantrel.exe --flash tarn.bin\n  Vantrel.exe -s "
     "2014_10_11.bin\n"},
    {0, 0, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace option
