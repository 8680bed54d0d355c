// The registers as the kernel offers them to user space: BAR0 of the PCI
// function mapped through its sysfs resource0 file. Needs root.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "plxboard/register_bus.h"

namespace plx {
namespace {

// The local configuration registers take 256 bytes.
constexpr std::size_t kMappedSize = 0x100;

std::uint32_t ReadMapped(void* handle, std::uint32_t offset) {
  return *reinterpret_cast<volatile std::uint32_t*>(static_cast<char*>(handle) + offset);
}

void WriteMapped(void* handle, std::uint32_t offset, std::uint32_t value) {
  *reinterpret_cast<volatile std::uint32_t*>(static_cast<char*>(handle) + offset) = value;
}

void CloseMapped(void* handle) { ::munmap(handle, kMappedSize); }

const BusOperations kMapped = {ReadMapped, WriteMapped, CloseMapped};

// The kernel's lockdown mode, "none" where there is none.
std::string LockdownMode() {
  std::ifstream file("/sys/kernel/security/lockdown");
  std::string line;
  std::getline(file, line);
  const std::size_t open = line.find('[');
  const std::size_t close = line.find(']', open);
  if (open == std::string::npos || close == std::string::npos) return "none";
  return line.substr(open + 1, close - open - 1);
}

}  // namespace

RegisterBus OpenMappedBus(const std::string& folder, std::string& why) {
  const std::string path = folder + "/resource0";
  const int fd = ::open(path.c_str(), O_RDWR | O_SYNC | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if ((error == EPERM || error == EACCES) && LockdownMode() != "none") {
      why = "kernel lockdown (" + LockdownMode() + ") forbids mapping PCI registers from user space";
    } else if (error == EPERM || error == EACCES) {
      why = "permission denied opening " + path + ": mapping the registers needs root";
    } else {
      why = "cannot open " + path + ": " + std::strerror(error);
    }
    return RegisterBus();
  }
  void* registers = ::mmap(nullptr, kMappedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  const int error = errno;
  ::close(fd);
  if (registers == MAP_FAILED) {
    if (error == EPERM || error == EACCES) {
      why = LockdownMode() != "none"
                ? "kernel lockdown (" + LockdownMode() + ") forbids mapping PCI registers from user space"
                : "the kernel refused to map " + path +
                      " (a kernel driver holds the BAR, and this kernel enforces strict devmem)";
    } else {
      why = "cannot map " + path + ": " + std::strerror(error);
    }
    return RegisterBus();
  }
  return RegisterBus(&kMapped, registers);
}

}  // namespace plx
