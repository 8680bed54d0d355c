#include "board_libraries/plxboard/runtime_power.h"

#include <fstream>
#include <string>

namespace plx {
namespace {

bool WriteSetting(const std::string& path, const char* value) {
  std::ofstream file(path);
  file << value << '\n';
  file.flush();
  return static_cast<bool>(file);
}

}  // namespace

bool PowerKeptOn::Take(const PciFunction& function, std::string& why) {
  const std::string path = function.folder + "/power/control";
  std::ifstream file(path);
  std::string setting;
  if (!std::getline(file, setting) || setting != "auto") return true;
  if (!WriteSetting(path, "on")) {
    why =
        "its runtime power management is on and could not be switched off for the transfer: echo on | sudo "
        "tee /sys/bus/pci/devices/" +
        function.name + "/power/control";
    return false;
  }
  restore_ = path;
  return true;
}

PowerKeptOn::~PowerKeptOn() {
  if (!restore_.empty()) WriteSetting(restore_, "auto");
}

}  // namespace plx
