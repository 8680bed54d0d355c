// The registers as the kernel offers them to user space: BAR0 of the PCI
// function mapped through its sysfs resource0 file. Needs root.
//
// The kernel maps resourceN from the start of the page that holds the BAR,
// not from the BAR itself. A 256-byte BAR0 often shares its page with other
// devices' registers (firmware packs small BARs: 0xfebf9000 for one bridge,
// 0xfebf9400 for the next), so the registers are at BAR0's offset inside
// the mapping.
//
// While the bus is open, a bus error inside the mapping (a kernel that
// revokes it when a driver claims the region) is turned into a lost bus: the
// pages are replaced by plain memory, the access goes on, and the transfer
// ends as a failure instead of the process ending on the signal.
#include <endian.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "board_libraries/plxboard/register_bus.h"

namespace plx {
namespace {

// The local configuration registers take 256 bytes.
constexpr std::size_t kRegisterBytes = 0x100;

struct Mapping {
  char* base;
  std::size_t length;
  std::size_t registers;  // BAR0's offset in the mapping
  volatile sig_atomic_t lost;
  struct sigaction previous;
};

// The one mapping open at a time, for the bus error handler.
Mapping* volatile g_guarded = nullptr;

void OnBusError(int, siginfo_t* info, void*) {
  Mapping* mapping = g_guarded;
  const char* address = static_cast<const char*>(info->si_addr);
  if (mapping != nullptr && address >= mapping->base && address < mapping->base + mapping->length) {
    ::mmap(mapping->base, mapping->length, PROT_READ | PROT_WRITE, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS,
           -1, 0);
    mapping->lost = 1;
    return;  // the access is made again, on plain memory
  }
  // Not ours: the handler before ours takes it when the access faults again.
  if (mapping != nullptr) ::sigaction(SIGBUS, &mapping->previous, nullptr);
}

volatile std::uint32_t* Register(void* handle, std::uint32_t offset) {
  const Mapping* mapping = static_cast<const Mapping*>(handle);
  return reinterpret_cast<volatile std::uint32_t*>(mapping->base + mapping->registers + offset);
}

// The registers are little-endian, whatever the host.
std::uint32_t ReadMapped(void* handle, std::uint32_t offset) { return le32toh(*Register(handle, offset)); }

void WriteMapped(void* handle, std::uint32_t offset, std::uint32_t value) {
  *Register(handle, offset) = htole32(value);
}

bool LostMapped(void* handle) { return static_cast<const Mapping*>(handle)->lost != 0; }

void CloseMapped(void* handle) {
  Mapping* mapping = static_cast<Mapping*>(handle);
  g_guarded = nullptr;
  ::sigaction(SIGBUS, &mapping->previous, nullptr);
  ::munmap(mapping->base, mapping->length);
  delete mapping;
}

const BusOperations kMapped = {ReadMapped, WriteMapped, CloseMapped, LostMapped};

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

std::string Refusal(int error, const std::string& path, bool mapping) {
  if ((error == EPERM || error == EACCES) && LockdownMode() != "none")
    return "kernel lockdown (" + LockdownMode() + ") forbids mapping PCI registers from user space";
  if (error == EPERM || error == EACCES)
    return "permission denied " + std::string(mapping ? "mapping " : "opening ") + path +
           ": mapping the registers needs root";
  // With strict devmem the kernel answers EINVAL for a page of which a driver
  // holds a part, which may be another device's region in the same page.
  if (mapping && error == EINVAL)
    return "the kernel refused to map the page holding BAR0 (" + path +
           "): a kernel driver holds a region in it, and this kernel enforces strict devmem";
  return std::string(mapping ? "cannot map " : "cannot open ") + path + ": " + std::strerror(error);
}

}  // namespace

RegisterBus OpenMappedBus(const std::string& folder, std::uint64_t bar0, std::string& why) {
  const std::string path = folder + "/resource0";
  const int fd = ::open(path.c_str(), O_RDWR | O_SYNC | O_CLOEXEC);
  if (fd < 0) {
    why = Refusal(errno, path, false);
    return RegisterBus();
  }
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t in_page = static_cast<std::size_t>(bar0 & (page - 1));
  const std::size_t length = in_page + kRegisterBytes;
  void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  const int error = errno;
  ::close(fd);
  if (base == MAP_FAILED) {
    why = Refusal(error, path, true);
    return RegisterBus();
  }
  Mapping* mapping = new Mapping{static_cast<char*>(base), length, in_page, 0, {}};
  struct sigaction action = {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &mapping->previous);
  g_guarded = mapping;
  return RegisterBus(&kMapped, mapping);
}

}  // namespace plx
