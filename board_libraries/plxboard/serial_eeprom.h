// The bridge's serial configuration EEPROM (a 93CS46: 64 words of 16 bits,
// 6 address bits; or a 93CS56: 128 words, 8 address bits, of which the first
// 64 are the bridge's), spoken to bit by bit through the EEPROM control
// bits of the bridge's CNTRL register.
#ifndef VANTREL_PLXBOARD_SERIAL_EEPROM_H
#define VANTREL_PLXBOARD_SERIAL_EEPROM_H

#include <cstdint>
#include <functional>
#include <string>

#include "board_libraries/plxboard/register_bus.h"

namespace plx {

constexpr int kEepromWords = 64;
// A 93CS56 holds twice as many; the bridge loads the first 64.
constexpr int kLargestEepromWords = 128;

// Local configuration registers.
constexpr std::uint32_t kControlRegister = 0x6C;      // CNTRL
constexpr std::uint32_t kPermanentIdRegister = 0x70;  // PCIHIDR: device and vendor ID, fixed in silicon

// Bits of CNTRL.
constexpr std::uint32_t kClock = 1u << 24;            // EESK
constexpr std::uint32_t kChipSelect = 1u << 25;       // EECS
constexpr std::uint32_t kDataToEeprom = 1u << 26;     // EEDI
constexpr std::uint32_t kDataFromEeprom = 1u << 27;   // EEDO
constexpr std::uint32_t kEepromPresent = 1u << 28;    // the bridge's own judgement at reset
constexpr std::uint32_t kReloadConfig = 1u << 29;     // writing 1 reloads the configuration
constexpr std::uint32_t kLocalReset = 1u << 30;       // 1 holds the local bus in reset
constexpr std::uint32_t kDataInputEnable = 1u << 31;  // EEDO input enable (some bridges; reserved on others)

// How long one word may take to program before it counts as failed.
constexpr int kWordProgramLimitMs = 20;

// Whether another master has driven the EEPROM's pins since the transfer
// began, the reason in `why`: the bridge's VPD engine reaches the same
// EEPROM, and no bit of CNTRL shows it. Empty: none can be seen.
using OtherMasterCheck = std::function<bool(std::string& why)>;

// Reads the first 64 words. False (and the reason in `why`) when the local
// bus is held in reset, no EEPROM answers, or the board stops answering or
// another agent changes the EEPROM pins during the transfer (CNTRL is then
// written no more), or `other_master` saw another master at work.
bool ReadEeprom(const RegisterBus& bus, std::uint16_t words[kEepromWords], std::string& why,
                const OtherMasterCheck& other_master = nullptr);

// Writes the words that differ from the EEPROM's, in ascending order but for
// the identity words (0 and 1: Device ID, Vendor ID), which go last, each
// with write-enable latched only around it (EWEN, WRITE, ready, EWDS), then
// reads all 64 back. On a 128-word part the words 64-127, which the image
// does not hold, are read before and compared after. `other_master` is asked
// after each word, and a master seen stops the write. False (and the reason
// in `why`, naming the first word that failed, or why the transfer stopped)
// unless every word reads back as written and nothing else changed.
bool WriteEeprom(const RegisterBus& bus, const std::uint16_t words[kEepromWords], std::string& why,
                 const OtherMasterCheck& other_master = nullptr);

}  // namespace plx

#endif
