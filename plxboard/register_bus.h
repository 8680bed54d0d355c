// The way to a PLX9054/PLX9080 bridge's local configuration registers (its
// BAR0): 32-bit reads and writes at an offset, behind one small table of
// operations. Two ways exist: mapping the PCI function's sysfs resource0
// (register_bus_mapped.cpp) and a plug-in library named by VANTREL_PLX_BUS,
// for tests and emulators (register_bus_plugin.cpp).
#ifndef VANTREL_PLXBOARD_REGISTER_BUS_H
#define VANTREL_PLXBOARD_REGISTER_BUS_H

#include <cstdint>
#include <string>

namespace plx {

struct BusOperations {
  std::uint32_t (*read32)(void* handle, std::uint32_t offset);
  void (*write32)(void* handle, std::uint32_t offset, std::uint32_t value);
  void (*close)(void* handle);
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
  void Close();

 private:
  const BusOperations* operations_ = nullptr;
  void* handle_ = nullptr;
};

// Opens the registers of the PCI function `device` ("0000:03:00.0", whose
// sysfs folder is `folder`): through the plug-in when VANTREL_PLX_BUS names
// one, else by mapping resource0. A closed bus on failure, with the reason
// for the operator in `why`.
RegisterBus OpenRegisterBus(const std::string& device, const std::string& folder, std::string& why);

// The two ways, for OpenRegisterBus.
RegisterBus OpenMappedBus(const std::string& folder, std::string& why);
RegisterBus OpenPluginBus(const char* plugin, const std::string& device, std::string& why);

}  // namespace plx

#endif
