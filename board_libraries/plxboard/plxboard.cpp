// An open board library for PLX9054/PLX9080 boards on Linux: the binary
// interface of the board maker's library (board/board_interface.h), over the
// kernel's sysfs PCI files, with no driver of its own. The EEPROM is reached
// through the bridge's CNTRL register (serial_eeprom.cpp).
//
// Boards are the PCI functions with known vendor:device IDs whose BAR0 is a
// memory BAR of 256 bytes or more and whose permanent ID register reads
// 0x905410b5 or 0x908010b5, in the order of their sysfs names. Why a board
// cannot be used goes to standard error, one line each, "plxboard: ...".
// Reading or writing the EEPROM needs the board to itself: no kernel driver
// bound to it, and no other program's transfer under way.
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
#include "platform/held_signals_posix.h"

namespace {

constexpr std::uint32_t kPlx9054 = 0x905410b5;
constexpr std::uint32_t kPlx9080 = 0x908010b5;
constexpr std::uint32_t kSubsystemIds = 0x2C;

void Say(const std::string& device, const std::string& what) {
  std::fprintf(stderr, "plxboard: %s%s%s\n", device.c_str(), device.empty() ? "" : ": ", what.c_str());
}

std::vector<plx::PciFunction> g_boards;
bool g_scanned = false;
const plx::PciFunction* g_current = nullptr;

// Whether a candidate is a bridge this library can use; touches nothing of a
// function that fails a check before it.
bool IsUsableBridge(plx::PciFunction& function) {
  std::string why;
  if (!plx::HasRegisterBar(function, why) || !plx::DecodesMemory(function, why)) {
    Say(function.name, why);
    return false;
  }
  const plx::RegisterBus bus = plx::OpenRegisterBus(function, why);
  if (!bus.is_open()) {
    Say(function.name, why);
    return false;
  }
  const std::uint32_t id = bus.Read(plx::kPermanentIdRegister);
  return id == kPlx9054 || id == kPlx9080;  // anything else is not a PLX bridge: silently not a board
}

void Scan() {
  g_scanned = true;
  for (plx::PciFunction& function : plx::FindCandidates(plx::KnownIds())) {
    if (IsUsableBridge(function)) g_boards.push_back(function);
  }
}

// One EEPROM transfer on the current board, `work` given the open bus. A
// kernel driver bound to the function owns the board (it may use CNTRL's
// other bits, or reset the board), so the transfer is refused; another
// program's transfer holds the lock. A driver that binds meanwhile, or a
// mapping the kernel takes away, fails the transfer.
template <typename Work>
bool Transfer(Work work) {
  const plx::PciFunction& board = *g_current;
  std::string driver = plx::BoundDriver(board);
  if (!driver.empty()) {
    Say(board.name, "the kernel driver " + driver + " is bound to it; unbind it first: echo " + board.name +
                        " > /sys/bus/pci/drivers/" + driver + "/unbind");
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
  const plx::RegisterBus bus = plx::OpenRegisterBus(board, why);
  bool done = bus.is_open() && work(bus, why);
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
        !plx::ReadConfigDword(*g_current, kSubsystemIds, ids)) {
      return 0;
    }
    return static_cast<std::int32_t>(ids);
  }

  std::int32_t BOARD_CALL ReadFlash(EepromImage* image) override {
    if (g_current == nullptr) return 0;
    std::uint16_t words[plx::kEepromWords];
    if (!Transfer([&words](const plx::RegisterBus& bus, std::string& why) {
          return plx::ReadEeprom(bus, words, why);
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
    return Transfer([&words](const plx::RegisterBus& bus, std::string& why) {
      return plx::WriteEeprom(bus, words, why);
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
