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
    const PciFunction function{name, devices + "/" + name};
    const long vendor = ReadIdFile(function.folder + "/vendor");
    const long device = ReadIdFile(function.folder + "/device");
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

bool ReadConfigDword(const PciFunction& function, std::uint32_t offset, std::uint32_t& value) {
  const int fd = ::open((function.folder + "/config").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char bytes[4] = {};
  const bool read = ::pread(fd, bytes, sizeof bytes, offset) == static_cast<ssize_t>(sizeof bytes);
  ::close(fd);
  value = static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16) |
          static_cast<std::uint32_t>(bytes[3]) << 24;
  return read;
}

bool DecodesMemory(const PciFunction& function, std::string& why) {
  std::uint32_t command = 0;
  if (!ReadConfigDword(function, kCommandRegister, command)) {
    why = "its configuration space cannot be read";
    return false;
  }
  if ((command & kMemorySpaceEnable) != 0) return true;
  why = "memory decoding is off in its command register; turn it on with: setpci -s " + function.name +
        " COMMAND=0x02:0x02";
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
