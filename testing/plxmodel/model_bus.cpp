// The bridge model as a register-bus plug-in (VANTREL_PLX_BUS), for runs of
// the real board library without hardware. Each PCI function is described by
// files in the folder PLXMODEL_DIR, named after it ("0000:03:00.0"):
//
//   NAME.eeprom   the EEPROM's words, little-endian; written back on close.
//                 Without it the function cannot be opened.
//   NAME.model    optional settings, one a line: "address-bits 8",
//                 "id 0x12345678" (the permanent ID register),
//                 "control 0x50000000" (CNTRL at start), "unprogrammable-word 5",
//                 "busy-forever", "data-line low", "data-line high", "no-eeprom",
//                 "output-delay-ns 2000" (the EEPROM's tPD),
//                 "driver-binds-at-clock 500" (a kernel driver, "hotplugged",
//                 binds to the function then: its sysfs driver link appears),
//                 "vpd-grab-at-clock 500" (the bridge's VPD engine takes the
//                 EEPROM for a moment then: chip select drops and rises, and
//                 the VPD address register, at 0x4A of the sysfs config file
//                 as the tests lay it out, changes)
//   NAME.log      on close, one line is appended: the clocks, register reads
//                 and writes, the words written, and any discipline broken,
//                 "unlocked-at-read" or "unlocked-at-write" among it when a
//                 READ or WRITE reached the EEPROM while nobody held the lock
//                 on the function's resource0 (VANTREL_SYSFS's folder).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "testing/plxmodel/bridge_model.h"

namespace {

struct Opened {
  std::string files;  // PLXMODEL_DIR/NAME
  plxmodel::BridgeModel model;
  std::string sysfs_folder;  // the function's folder in the fake sysfs tree
  long driver_binds_at = -1;
  long vpd_grab_at = -1;
  bool unlocked_at_read = false;
  bool unlocked_at_write = false;
};

// Whether a transfer holds the function's lock: another open file of
// resource0 cannot take it then.
bool Locked(const std::string& folder) {
  const int fd = ::open((folder + "/resource0").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return !taken;
}

plxmodel::BridgeModel ModelFrom(const std::string& settings, long& driver_binds_at, long& vpd_grab_at) {
  std::istringstream lines(settings);
  int address_bits = 6;
  std::uint32_t control = plxmodel::BridgeModel::kDefaultControl;
  std::uint32_t id = 0x905410b5;
  plxmodel::Faults faults;
  std::chrono::nanoseconds output_delay{0};
  std::string key;
  while (lines >> key) {
    std::string value;
    if (key == "busy-forever") {
      faults.busy_forever = true;
    } else if (key == "no-eeprom") {
      faults.no_eeprom = true;
    } else if (lines >> value) {
      const unsigned long number = std::strtoul(value.c_str(), nullptr, 0);
      if (key == "address-bits") address_bits = static_cast<int>(number);
      if (key == "id") id = static_cast<std::uint32_t>(number);
      if (key == "control") control = static_cast<std::uint32_t>(number);
      if (key == "unprogrammable-word") faults.unprogrammable_word = static_cast<int>(number);
      if (key == "output-delay-ns") output_delay = std::chrono::nanoseconds(number);
      if (key == "driver-binds-at-clock") driver_binds_at = static_cast<long>(number);
      if (key == "vpd-grab-at-clock") vpd_grab_at = static_cast<long>(number);
      if (key == "data-line") {
        faults.data_line =
            value == "low" ? plxmodel::Faults::DataLine::kStuckLow : plxmodel::Faults::DataLine::kStuckHigh;
      }
    }
  }
  plxmodel::BridgeModel model(address_bits, control);
  model.permanent_id = id;
  model.faults = faults;
  model.output_delay = output_delay;
  return model;
}

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void* vantrel_bus_open(const char* device) {
  const char* folder = std::getenv("PLXMODEL_DIR");
  if (folder == nullptr) return nullptr;
  const std::string files = std::string(folder) + "/" + device;
  std::ifstream eeprom(files + ".eeprom", std::ios::binary);
  if (!eeprom) return nullptr;
  long driver_binds_at = -1;
  long vpd_grab_at = -1;
  Opened* opened = new Opened{
      files, ModelFrom(Contents(files + ".model"), driver_binds_at, vpd_grab_at), "", -1, vpd_grab_at, false,
      false};
  const char* sysfs = std::getenv("VANTREL_SYSFS");
  opened->sysfs_folder = std::string(sysfs != nullptr ? sysfs : "/sys") + "/bus/pci/devices/" + device;
  opened->driver_binds_at = driver_binds_at;
  opened->model.on_command = [opened](const char* moment) {
    if (Locked(opened->sysfs_folder)) return;
    (moment[0] == 'r' ? opened->unlocked_at_read : opened->unlocked_at_write) = true;
  };
  opened->model.on_clock = [opened](long clocks) {
    if (clocks == opened->vpd_grab_at) {
      opened->model.ChipSelectGlitch();
      const int config = ::open((opened->sysfs_folder + "/config").c_str(), O_WRONLY | O_CLOEXEC);
      const unsigned char address[2] = {0x7C, 0x00};
      if (config >= 0) {
        static_cast<void>(::pwrite(config, address, 2, 0x4A));
        ::close(config);
      }
    }
    if (clocks != opened->driver_binds_at) return;
    const std::string link = opened->sysfs_folder + "/driver";
    static_cast<void>(::symlink("../../../bus/pci/drivers/hotplugged", link.c_str()));
  };
  const std::string bytes = Contents(files + ".eeprom");
  for (std::size_t word = 0; word < opened->model.words.size() && 2 * word + 1 < bytes.size(); ++word) {
    opened->model.words[word] = static_cast<std::uint16_t>(
        static_cast<unsigned char>(bytes[2 * word]) | static_cast<unsigned char>(bytes[2 * word + 1]) << 8);
  }
  return opened;
}

extern "C" __attribute__((visibility("default"))) std::uint32_t vantrel_bus_read32(void* bus,
                                                                                   std::uint32_t offset) {
  return static_cast<Opened*>(bus)->model.Read32(offset);
}

extern "C" __attribute__((visibility("default"))) void vantrel_bus_write32(void* bus, std::uint32_t offset,
                                                                           std::uint32_t value) {
  static_cast<Opened*>(bus)->model.Write32(offset, value);
}

extern "C" __attribute__((visibility("default"))) void vantrel_bus_close(void* bus) {
  Opened* opened = static_cast<Opened*>(bus);
  const plxmodel::BridgeModel& model = opened->model;
  std::string bytes;
  for (const std::uint16_t word : model.words) {
    bytes += static_cast<char>(word & 0xFF);
    bytes += static_cast<char>(word >> 8);
  }
  std::ofstream(opened->files + ".eeprom", std::ios::binary) << bytes;
  std::ofstream log(opened->files + ".log", std::ios::app);
  log << "clocks=" << model.counters.clocks << " reads=" << model.counters.reads
      << " writes=" << model.counters.writes << " written=";
  for (const int word : model.counters.written_words) log << word << ",";
  log << (model.counters.reserved_bits_written ? " reserved-bits-written" : "")
      << (model.counters.other_bits_changed ? " other-bits-changed" : "")
      << (model.counters.erase_commands > 0 ? " erased-or-written-all" : "")
      << ((model.control() & (1u << 25)) != 0 ? " left-selected" : "")
      << (opened->unlocked_at_read ? " unlocked-at-read" : "")
      << (opened->unlocked_at_write ? " unlocked-at-write" : "") << "\n";
  delete opened;
}
