// The way to a PLX9054/PLX9080 bridge's local configuration registers (its
// BAR0): 32-bit reads and writes at an offset, behind one small table of
// operations. Two ways exist: mapping the PCI function's sysfs resource0
// (register_bus_mapped.cpp) and a plug-in library named by VANTREL_PLX_BUS,
// for tests and emulators (register_bus_plugin.cpp).
#ifndef VANTREL_PLXBOARD_REGISTER_BUS_H
#define VANTREL_PLXBOARD_REGISTER_BUS_H

#include <cstdint>
#include <string>

#include "board_libraries/plxboard/pci_functions.h"

namespace plx {

struct BusOperations {
  std::uint32_t (*read32)(void* handle, std::uint32_t offset);
  void (*write32)(void* handle, std::uint32_t offset, std::uint32_t value);
  void (*close)(void* handle);
  // Whether the registers were taken away while the bus was open (the
  // kernel revoked the mapping); null for a bus that cannot lose them.
  bool (*lost)(void* handle);
};

// An open bus; closed when it goes out of scope.
class RegisterBus {
 public:
  RegisterBus() = default;
  RegisterBus(const BusOperations* operations, void* handle) : operations_(operations), handle_(handle) {}
  ~RegisterBus() { Close(); }
  RegisterBus(RegisterBus&& other) noexcept : operations_(other.operations_), handle_(other.handle_) {
    other.operations_ = nullptr;
  }
  RegisterBus& operator=(RegisterBus&& other) noexcept;
  RegisterBus(const RegisterBus&) = delete;
  RegisterBus& operator=(const RegisterBus&) = delete;

  bool is_open() const { return operations_ != nullptr; }
  std::uint32_t Read(std::uint32_t offset) const { return operations_->read32(handle_, offset); }
  void Write(std::uint32_t offset, std::uint32_t value) const {
    operations_->write32(handle_, offset, value);
  }
  bool lost() const {
    return operations_ != nullptr && operations_->lost != nullptr && operations_->lost(handle_);
  }
  void Close();

 private:
  const BusOperations* operations_ = nullptr;
  void* handle_ = nullptr;
};

// Opens the registers of `function`: through the plug-in when
// VANTREL_PLX_BUS names one, else by mapping resource0. A closed bus on
// failure, with the reason for the operator in `why`.
RegisterBus OpenRegisterBus(const PciFunction& function, std::string& why);

// The two ways, for OpenRegisterBus. The mapped bus maps resource0 from its
// start (the kernel maps from the page that holds BAR0) and finds the
// registers at BAR0's offset inside that page.
RegisterBus OpenMappedBus(const std::string& folder, std::uint64_t bar0, std::string& why);
RegisterBus OpenPluginBus(const char* plugin, const std::string& device, std::string& why);

}  // namespace plx

#endif
