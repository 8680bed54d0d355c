// The PCI functions that may be PLX9054/PLX9080 bridges, as sysfs shows them.
#ifndef VANTREL_PLXBOARD_PCI_FUNCTIONS_H
#define VANTREL_PLXBOARD_PCI_FUNCTIONS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plx {

struct PciFunction {
  std::string name;        // domain:bus:device.function, e.g. "0000:03:00.0"
  std::string folder;      // its sysfs folder
  std::uint64_t bar0 = 0;  // BAR0's bus address, once HasRegisterBar found it
  std::uint16_t vendor = 0;
};

constexpr std::uint16_t kPlxVendor = 0x10b5;

// The sysfs root: VANTREL_SYSFS, else /sys.
std::string SysfsRoot();

// The vendor:device pairs that boards carry: 10b5:9054 and 10b5:9080, and
// those listed in the ID file (VANTREL_PLX_IDS, else plx-ids in the tool's
// configuration folder, /etc/vantrel for a /usr install: one "vvvv:dddd" a
// line, '#' starts a comment).
std::vector<std::pair<std::uint16_t, std::uint16_t>> KnownIds();

// Parses the text of an ID file; lines it cannot read are passed over.
std::vector<std::pair<std::uint16_t, std::uint16_t>> ParseIds(const std::string& text);

// The functions under ROOT/bus/pci/devices whose vendor and device IDs are
// among `ids`, sorted by name. Of the others, only the two ID files are read.
std::vector<PciFunction> FindCandidates(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& ids);

// Whether BAR0 is an assigned memory BAR of at least 0x100 bytes (the first
// line of the sysfs resource file), and then its start in `function.bar0`;
// `why` says otherwise.
bool HasRegisterBar(PciFunction& function, std::string& why);

// Whether the function answers memory accesses (bit 1 of its command
// register, from the sysfs config file); `why` says otherwise.
bool DecodesMemory(const PciFunction& function, std::string& why);

// The 32-bit little-endian value at `offset` of the function's configuration
// space, or false.
bool ReadConfigDword(const PciFunction& function, std::uint32_t offset, std::uint32_t& value);
// The same for 16 bits.
bool ReadConfigWord(const PciFunction& function, std::uint32_t offset, std::uint16_t& value);

// Capability IDs.
constexpr std::uint8_t kPowerManagementCapability = 0x01;
constexpr std::uint8_t kVpdCapability = 0x03;

// The offset of the function's capability `id` in its configuration space,
// 0 when it has none.
std::uint32_t FindCapability(const PciFunction& function, std::uint8_t id);

// Why a function whose registers read all ones does not answer: its power
// state from PMCSR where it has one, and how to power it up.
std::string NotAnsweringReason(const PciFunction& function);

// The kernel driver bound to the function, "" when none.
std::string BoundDriver(const PciFunction& function);

}  // namespace plx

#endif
