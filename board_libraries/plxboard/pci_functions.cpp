#include "board_libraries/plxboard/pci_functions.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace plx {
namespace {

constexpr std::uint64_t kMemoryResource = 0x200;   // IORESOURCE_MEM
constexpr std::uint64_t kDisabled = 0x10000000;    // IORESOURCE_DISABLED
constexpr std::uint64_t kUnassigned = 0x20000000;  // IORESOURCE_UNSET
constexpr std::uint64_t kRegisterBytes = 0x100;
constexpr std::uint32_t kCommandRegister = 0x04;
constexpr std::uint32_t kMemorySpaceEnable = 1u << 1;

std::string Environment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// The number in a sysfs ID file ("0x10b5\n"), or -1.
long ReadIdFile(const std::string& path) {
  std::ifstream file(path);
  std::string text;
  if (!(file >> text)) return -1;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 16);
  return *end == '\0' && value >= 0 && value <= 0xFFFF ? value : -1;
}

}  // namespace

std::string SysfsRoot() { return Environment("VANTREL_SYSFS", "/sys"); }

std::vector<std::pair<std::uint16_t, std::uint16_t>> ParseIds(const std::string& text) {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> ids;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    line = line.substr(0, line.find('#'));
    unsigned vendor = 0;
    unsigned device = 0;
    char colon = 0;
    char extra = 0;
    std::istringstream fields(line);
    if ((fields >> std::hex >> vendor >> colon >> device) && colon == ':' && !(fields >> extra) &&
        vendor <= 0xFFFF && device <= 0xFFFF) {
      ids.emplace_back(static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(device));
    }
  }
  return ids;
}

std::vector<std::pair<std::uint16_t, std::uint16_t>> KnownIds() {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> ids = {{0x10b5, 0x9054}, {0x10b5, 0x9080}};
  std::ifstream file(Environment("VANTREL_PLX_IDS", VANTREL_CONFIG_DIR "/plx-ids"));
  std::stringstream text;
  text << file.rdbuf();
  for (const auto& id : ParseIds(text.str())) ids.push_back(id);
  return ids;
}

std::vector<PciFunction> FindCandidates(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& ids) {
  std::vector<PciFunction> found;
  const std::string devices = SysfsRoot() + "/bus/pci/devices";
  DIR* folder = ::opendir(devices.c_str());
  if (folder == nullptr) return found;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name[0] == '.') continue;
    PciFunction function{name, devices + "/" + name};
    const long vendor = ReadIdFile(function.folder + "/vendor");
    const long device = ReadIdFile(function.folder + "/device");
    function.vendor = static_cast<std::uint16_t>(vendor);
    if (std::find(ids.begin(), ids.end(),
                  std::make_pair(static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(device))) !=
            ids.end() &&
        vendor >= 0 && device >= 0) {
      found.push_back(function);
    }
  }
  ::closedir(folder);
  std::sort(found.begin(), found.end(),
            [](const PciFunction& a, const PciFunction& b) { return a.name < b.name; });
  return found;
}

bool HasRegisterBar(PciFunction& function, std::string& why) {
  std::ifstream file(function.folder + "/resource");
  std::string line;
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::uint64_t flags = 0;
  if (!std::getline(file, line) || !(std::istringstream(line) >> std::hex >> start >> end >> flags)) {
    why = "its sysfs resource file cannot be read";
    return false;
  }
  if ((flags & kMemoryResource) == 0 || end < start || end - start + 1 < kRegisterBytes) {
    why = "BAR0 is not a memory BAR of at least 256 bytes";
    return false;
  }
  // Firmware that ran out of address space, or a BAR switched off: the
  // kernel still lists it, at 0 or with these flags, and nothing answers.
  if (start == 0 || (flags & (kDisabled | kUnassigned)) != 0) {
    char text[96];
    std::snprintf(text, sizeof text, "BAR0 has no address assigned (start 0x%llx, flags 0x%llx)",
                  static_cast<unsigned long long>(start), static_cast<unsigned long long>(flags));
    why = text;
    return false;
  }
  function.bar0 = start;
  return true;
}

namespace {

// `size` bytes (at most 4) at `offset`, little-endian.
bool ReadConfig(const PciFunction& function, std::uint32_t offset, int size, std::uint32_t& value) {
  const int fd = ::open((function.folder + "/config").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char bytes[4] = {};
  const bool read = ::pread(fd, bytes, static_cast<std::size_t>(size), offset) == size;
  ::close(fd);
  value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return read;
}

constexpr std::uint32_t kStatusRegister = 0x06;
constexpr std::uint32_t kHasCapabilities = 1u << 4;
constexpr std::uint32_t kCapabilityPointer = 0x34;

// Powers the function up and enables the bridges above it (a setpci of the
// command register does neither).
std::string EnableCommand(const PciFunction& function) {
  return "echo 1 | sudo tee /sys/bus/pci/devices/" + function.name + "/enable";
}

}  // namespace

bool ReadConfigDword(const PciFunction& function, std::uint32_t offset, std::uint32_t& value) {
  return ReadConfig(function, offset, 4, value);
}

bool ReadConfigWord(const PciFunction& function, std::uint32_t offset, std::uint16_t& value) {
  std::uint32_t word = 0;
  const bool read = ReadConfig(function, offset, 2, word);
  value = static_cast<std::uint16_t>(word);
  return read;
}

std::uint32_t FindCapability(const PciFunction& function, std::uint8_t id) {
  std::uint32_t status = 0;
  std::uint32_t at = 0;
  if (!ReadConfig(function, kStatusRegister, 2, status) || (status & kHasCapabilities) == 0 ||
      !ReadConfig(function, kCapabilityPointer, 1, at))
    return 0;
  // A list that loops is cut off: 48 entries fit in the 192 bytes after the header.
  for (int entries = 0; entries < 48 && (at &= 0xFC) >= 0x40; ++entries) {
    std::uint32_t entry = 0;
    if (!ReadConfig(function, at, 2, entry)) return 0;
    if ((entry & 0xFF) == id) return at;
    at = entry >> 8;
  }
  return 0;
}

std::string NotAnsweringReason(const PciFunction& function) {
  std::string state = "no power management capability to tell its power state";
  const std::uint32_t pm = FindCapability(function, kPowerManagementCapability);
  std::uint32_t control = 0;
  if (pm != 0 && ReadConfig(function, pm + 4, 2, control))
    state = "power state D" + std::to_string(control & 3) + " in PMCSR";
  return "its registers read all ones (" + state + "); power it up with: " + EnableCommand(function);
}

bool DecodesMemory(const PciFunction& function, std::string& why) {
  std::uint32_t command = 0;
  if (!ReadConfigDword(function, kCommandRegister, command)) {
    why = "its configuration space cannot be read";
    return false;
  }
  if ((command & kMemorySpaceEnable) != 0) return true;
  why = "memory decoding is off in its command register; turn it on with: " + EnableCommand(function);
  return false;
}

std::string BoundDriver(const PciFunction& function) {
  char target[4096];
  const ssize_t length = ::readlink((function.folder + "/driver").c_str(), target, sizeof target - 1);
  if (length <= 0) return "";
  const std::string path(target, static_cast<std::size_t>(length));
  return path.substr(path.rfind('/') + 1);
}

}  // namespace plx
