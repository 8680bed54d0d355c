#include "board_libraries/plxboard/register_bus.h"

#include <cstdio>
#include <cstdlib>

namespace plx {

RegisterBus& RegisterBus::operator=(RegisterBus&& other) noexcept {
  if (this != &other) {
    Close();
    operations_ = other.operations_;
    handle_ = other.handle_;
    other.operations_ = nullptr;
  }
  return *this;
}

void RegisterBus::Close() {
  if (operations_ != nullptr) operations_->close(handle_);
  operations_ = nullptr;
  handle_ = nullptr;
}

RegisterBus OpenRegisterBus(const PciFunction& function, std::string& why) {
  const char* plugin = std::getenv("VANTREL_PLX_BUS");
  if (plugin != nullptr && *plugin != '\0') {
    // Left set in a shell profile, or kept by sudo -E, it would send a real
    // flash to the plug-in: say so, once.
    static bool said = false;
    if (!said)
      std::fprintf(stderr, "plxboard: using the register-bus plug-in %s, not the hardware\n", plugin);
    said = true;
    return OpenPluginBus(plugin, function.name, why);
  }
  return OpenMappedBus(function.folder, function.bar0, why);
}

}  // namespace plx
