// The registers through a plug-in library (VANTREL_PLX_BUS): a software model
// of the bridge, or an emulator. It exports vantrel_bus_open, _read32,
// _write32 and _close; each open loads it anew, each close unloads it.
#include <dlfcn.h>

#include <cstdint>
#include <string>

#include "board_libraries/plxboard/register_bus.h"

namespace plx {
namespace {

struct Plugin {
  void* library;
  void* bus;
  std::uint32_t (*read32)(void*, std::uint32_t);
  void (*write32)(void*, std::uint32_t, std::uint32_t);
  void (*close)(void*);
};

std::uint32_t ReadPlugin(void* handle, std::uint32_t offset) {
  const Plugin* plugin = static_cast<Plugin*>(handle);
  return plugin->read32(plugin->bus, offset);
}

void WritePlugin(void* handle, std::uint32_t offset, std::uint32_t value) {
  const Plugin* plugin = static_cast<Plugin*>(handle);
  plugin->write32(plugin->bus, offset, value);
}

void ClosePlugin(void* handle) {
  const Plugin* plugin = static_cast<Plugin*>(handle);
  plugin->close(plugin->bus);
  ::dlclose(plugin->library);
  delete plugin;
}

const BusOperations kPlugin = {ReadPlugin, WritePlugin, ClosePlugin, nullptr};

template <typename Function>
bool Find(void* library, const char* name, Function& function) {
  void* address = ::dlsym(library, name);
  function = reinterpret_cast<Function>(address);
  return address != nullptr;
}

}  // namespace

RegisterBus OpenPluginBus(const char* path, const std::string& device, std::string& why) {
  // Only an absolute path: a relative one would be looked up from wherever
  // the operator happens to stand.
  if (path[0] != '/') {
    why = std::string("VANTREL_PLX_BUS must be an absolute path, not ") + path;
    return RegisterBus();
  }
  void* library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = ::dlerror();
    why = std::string("cannot load the bus plug-in: ") + (error != nullptr ? error : path);
    return RegisterBus();
  }
  void* (*open)(const char*) = nullptr;
  Plugin plugin = {library, nullptr, nullptr, nullptr, nullptr};
  if (!Find(library, "vantrel_bus_open", open) || !Find(library, "vantrel_bus_read32", plugin.read32) ||
      !Find(library, "vantrel_bus_write32", plugin.write32) ||
      !Find(library, "vantrel_bus_close", plugin.close)) {
    ::dlclose(library);
    why = std::string("the bus plug-in ") + path + " lacks one of the vantrel_bus_ functions";
    return RegisterBus();
  }
  plugin.bus = open(device.c_str());
  if (plugin.bus == nullptr) {
    ::dlclose(library);
    why = "the bus plug-in cannot open " + device;
    return RegisterBus();
  }
  return RegisterBus(&kPlugin, new Plugin(plugin));
}

}  // namespace plx
