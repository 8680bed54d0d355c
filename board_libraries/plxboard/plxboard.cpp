// An open board library for PLX9054/PLX9080 boards on Linux: the binary
// interface of the board maker's library (board/board_interface.h), over the
// kernel's sysfs PCI files, with no driver of its own. The EEPROM is reached
// through the bridge's CNTRL register (serial_eeprom.cpp).
//
// Boards are the PCI functions with known vendor:device IDs, numbered in
// the order of their sysfs names (lspci -D's order), so that a number always
// names the same slot: one that cannot be used (its registers read all ones,
// memory decoding off, no usable BAR0, a driver bound) keeps its number and
// is refused at a transfer, with the reason. Only a function whose permanent
// ID register reads as another chip's is left out, with a line that says so.
// Why a board cannot be used goes to standard error, one line each,
// "plxboard: DEV: ...". Reading or writing the EEPROM needs the board to
// itself: no kernel driver bound to it, and no other program's transfer
// under way.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/board_interface.h"
#include "board_libraries/plxboard/image_words.h"
#include "board_libraries/plxboard/pci_functions.h"
#include "board_libraries/plxboard/register_bus.h"
#include "board_libraries/plxboard/runtime_power.h"
#include "board_libraries/plxboard/serial_eeprom.h"
#include "board_libraries/plxboard/transfer_lock.h"
#include "platform/held_signals.h"

namespace {

constexpr std::uint32_t kPlx9054 = 0x905410b5;
constexpr std::uint32_t kPlx9080 = 0x908010b5;
constexpr std::uint32_t kSubsystemIds = 0x2C;

void Say(const std::string& device, const std::string& what) {
  std::fprintf(stderr, "plxboard: %s%s%s\n", device.c_str(), device.empty() ? "" : ": ", what.c_str());
}

struct Listed {
  plx::PciFunction function;
  std::string refusal;  // why it cannot be used; "" when it can
};
std::vector<Listed> g_boards;
bool g_scanned = false;
const Listed* g_current = nullptr;

bool IsPlxBridge(std::uint32_t id) { return id == kPlx9054 || id == kPlx9080; }

std::string DriverRefusal(const plx::PciFunction& function, const std::string& driver) {
  return "the kernel driver " + driver + " is bound to it; unbind it first: echo " + function.name +
         " | sudo tee /sys/bus/pci/drivers/" + driver + "/unbind";
}

// Whether a candidate is listed, and why it cannot be used. A function of
// another vendor that a driver uses is never mapped: a wrong line in
// plx-ids must not make the scan read a live device's registers.
bool Examine(plx::PciFunction& function, std::string& refusal) {
  const std::string driver = plx::BoundDriver(function);
  if (function.vendor != plx::kPlxVendor && !driver.empty()) {
    refusal = DriverRefusal(function, driver);
    return true;
  }
  if (!plx::HasRegisterBar(function, refusal) || !plx::DecodesMemory(function, refusal)) return true;
  const plx::RegisterBus bus = plx::OpenRegisterBus(function, refusal);
  if (!bus.is_open()) return true;
  const std::uint32_t id = bus.Read(plx::kPermanentIdRegister);
  if (id == 0xFFFFFFFFu) {
    refusal = plx::NotAnsweringReason(function);
    return true;
  }
  if (!IsPlxBridge(id)) {
    char text[112];
    std::snprintf(text, sizeof text,
                  "its ID register reads 0x%08x: not a PLX bridge, not listed (check plx-ids)",
                  static_cast<unsigned>(id));
    Say(function.name, text);
    return false;
  }
  return true;
}

void Scan() {
  g_scanned = true;
  for (plx::PciFunction& function : plx::FindCandidates(plx::KnownIds())) {
    std::string refusal;
    if (Examine(function, refusal)) g_boards.push_back({function, refusal});
  }
}

// Whether the board at the listed address is still the bridge that was
// listed: a hot swap, or a remove and rescan, while the operator read the
// report can put another BAR0 (or another device) there.
bool StillTheListedBridge(const plx::PciFunction& listed, plx::RegisterBus& bus, std::string& why) {
  plx::PciFunction now = listed;
  if (!plx::HasRegisterBar(now, why)) return false;
  if (now.bar0 != listed.bar0) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "BAR0 moved from 0x%llx to 0x%llx since the boards were listed (hot swap or rescan?): run "
                  "the tool again",
                  static_cast<unsigned long long>(listed.bar0), static_cast<unsigned long long>(now.bar0));
    why = text;
    return false;
  }
  bus = plx::OpenRegisterBus(now, why);
  if (!bus.is_open()) return false;
  const std::uint32_t id = bus.Read(plx::kPermanentIdRegister);
  if (IsPlxBridge(id)) return true;
  char text[128];
  std::snprintf(text, sizeof text,
                "its ID register reads 0x%08x since the boards were listed: not touching it",
                static_cast<unsigned>(id));
  why = text;
  return false;
}

// The bridge's VPD engine drives the same EEPROM pins (the kernel's vpd
// file, lspci -vv as root): its address register, read through the sysfs
// config file, changes with every access it makes.
class VpdWatch {
 public:
  explicit VpdWatch(const plx::PciFunction& function)
      : function_(function), at_(plx::FindCapability(function, plx::kVpdCapability)) {
    if (at_ != 0 && !plx::ReadConfigWord(function_, at_ + 2, address_)) at_ = 0;
  }
  // Whether the VPD engine has been at work since the watch began.
  bool Moved(std::string& why) const {
    std::uint16_t now = 0;
    if (at_ == 0) return false;
    if (!plx::ReadConfigWord(function_, at_ + 2, now)) {
      why = "its configuration space could not be read to watch the bridge's VPD engine";
      return true;
    }
    if (now == address_) return false;
    why =
        "the bridge's VPD engine used the EEPROM during the transfer (its VPD address register changed: "
        "lspci -vv, or a read of the vpd file?)";
    return true;
  }

 private:
  const plx::PciFunction& function_;
  std::uint32_t at_;
  std::uint16_t address_ = 0;
};

// One EEPROM transfer on the current board, `work` given the open bus and
// the VPD watch. A board that cannot be used is refused with its reason; a
// kernel driver bound to the function owns the board (it may use CNTRL's
// other bits, or reset the board), so the transfer is refused; another
// program's transfer holds the lock. A driver that binds meanwhile, or a
// mapping the kernel takes away, fails the transfer.
template <typename Work>
bool Transfer(Work work) {
  const plx::PciFunction& board = g_current->function;
  if (!g_current->refusal.empty()) {
    Say(board.name, g_current->refusal);
    return false;
  }
  std::string driver = plx::BoundDriver(board);
  if (!driver.empty()) {
    Say(board.name, DriverRefusal(board, driver));
    return false;
  }
  std::string why;
  plx::TransferLock lock;
  if (!lock.Take(board, why)) {
    Say(board.name, why);
    return false;
  }
  // Declared after the lock: "auto" goes back before another program's
  // transfer may begin.
  plx::PowerKeptOn power;
  if (!power.Take(board, why)) {
    Say(board.name, why);
    return false;
  }
  plx::RegisterBus bus;
  if (!StillTheListedBridge(board, bus, why)) {
    Say(board.name, why);
    return false;
  }
  const VpdWatch vpd(board);
  bool done = work(bus, vpd, why);
  driver = plx::BoundDriver(board);
  if (!driver.empty()) {
    why = "the kernel driver " + driver + " was bound to it during the transfer";
    done = false;
  } else if (bus.lost()) {
    why = "the kernel took the registers away during the transfer (a driver claimed the board?)";
    done = false;
  }
  if (!done) Say(board.name, why);
  return done;
}

class Board final : public IPLX9080 {
 public:
  void BOARD_CALL Reserved1() override {}
  void BOARD_CALL Reserved2() override {}

  // Any name is accepted; it means nothing here.
  std::int32_t BOARD_CALL InitDevice(const char*, std::int32_t board) override {
    if (!g_scanned) Scan();
    if (board < 1 || static_cast<std::size_t>(board) > g_boards.size()) return 0;
    g_current = &g_boards[static_cast<std::size_t>(board) - 1];
    return kInitDeviceOpened;
  }

  // The board identifier: the subsystem IDs, device in the upper half,
  // vendor in the lower.
  std::int32_t BOARD_CALL QueryBoardId(std::int32_t selector) override {
    std::uint32_t ids = 0;
    if (selector != kBoardIdSelector || g_current == nullptr ||
        !plx::ReadConfigDword(g_current->function, kSubsystemIds, ids)) {
      return 0;
    }
    return static_cast<std::int32_t>(ids);
  }

  std::int32_t BOARD_CALL ReadFlash(EepromImage* image) override {
    if (g_current == nullptr) return 0;
    std::uint16_t words[plx::kEepromWords];
    if (!Transfer([&words](const plx::RegisterBus& bus, const VpdWatch& vpd, std::string& why) {
          return plx::ReadEeprom(bus, words, why, [&vpd](std::string& moved) { return vpd.Moved(moved); });
        })) {
      return 0;
    }
    plx::WordsToImage(words, *image);
    return kReadFlashDone;
  }

  std::int32_t BOARD_CALL WriteFlash(EepromImage image) override {
    if (g_current == nullptr) return 0;
    std::uint16_t words[plx::kEepromWords];
    plx::ImageToWords(image, words);
    // No image is left half written: Ctrl+C and the like act once the write
    // and its check are done (about 1.5 s at the very worst).
    const platform::HeldSignals held;
    return Transfer([&words](const plx::RegisterBus& bus, const VpdWatch& vpd, std::string& why) {
      return plx::WriteEeprom(bus, words, why, [&vpd](std::string& moved) { return vpd.Moved(moved); });
    })
               ? kWriteFlashDone
               : 0;
  }
};

Board g_board;

class Factory final : public IBoardFactory {
 public:
  IPLX9080* BOARD_CALL CreateInterface(const char* name, std::int32_t) override {
    return std::strcmp(name, kInterfaceName) == 0 ? &g_board : nullptr;
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) Factory StaticFactory;
Factory StaticFactory;
