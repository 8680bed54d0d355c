// Microwire, as the 93CS46/56 speak it: with chip select high, a start bit 1,
// a 2-bit opcode and the address go in MSB first, each bit latched at a
// rising clock. READ (10) answers with a dummy 0 once the address is
// complete, then 16 data bits, one per clock, and goes on with the next word
// for as long as the clock runs. EWEN (00 11xxxx) and EWDS (00 00xxxx)
// allow and forbid writing; WRITE (01) takes 16 data bits, and programming
// starts when chip select falls. With chip select high again, the data line
// reads 0 while the EEPROM is busy and 1 once the word is programmed.
//
// On the PLX9054 the EEPROM's data in and data out share one pin: whenever
// the EEPROM drives it (the dummy bit, data, the ready poll), the bridge
// drives EEDI high, or EEDO reads 0 whatever the EEPROM sends.
//
// CNTRL also holds the local bus reset, the configuration reload and bits
// the local side uses (USERO, bit 16, is an FPGA's program pin on some
// boards). Each write takes CNTRL's other bits from the read before it, so
// that a change another agent makes meanwhile is kept; bits 29 and 30 are
// always written as 0, and the original EEPROM bits go back at the end.
// The bridge's VPD engine drives the same EEPROM pins, and no bit of CNTRL
// shows it (the kernel's vpd file and lspci -vv as root use it). A chip
// select drop and rise in the middle of a WRITE's data restarts the EEPROM's
// decoder on the bits that remain, and these can form ERASE or ERAL: so
// write-enable is latched around each WRITE only, and the caller's look at
// the VPD address register after each word stops the write at once.
// Every read of CNTRL during a transfer is judged: all ones, or bit 30 set,
// is a board that stopped answering (put into D3cold by runtime power
// management, its memory decoding switched off, removed); EESK, EECS or EEDI
// other than last written is another agent at work on the pins. Either
// stops the transfer at once, and CNTRL is written no more: a write could
// release another agent's reset.
//
// Timing. The slower EEPROM grades allow at most 250 kHz, and put a bit on
// DO only after their output delay (tPD, up to about 2 us) behind the rising
// edge that shifts it out. A bus delivers a write and the next read within a
// few hundred nanoseconds, so the data line is sampled at the end of the
// high half, never straight after the rising edge. Every half period lasts
// at least 2 us, counted from when the write has reached the bridge: each
// write is followed by a read of CNTRL, which flushes a posted write. That
// read's value is used (judged) before the clock is read: on arm64 a device
// load whose value nothing uses need not have completed when the timer is
// read (the kernel's readl adds a dependency for this); x86 orders them
// anyway.
#include "board_libraries/plxboard/serial_eeprom.h"

#include <chrono>
#include <cstdio>

namespace plx {
namespace {

using Clock = std::chrono::steady_clock;
// No half period shorter than this, however fast the bus: 250 kHz at most,
// and the output delay of the slowest grade within the high half.
constexpr auto kHalfPeriod = std::chrono::microseconds(2);
constexpr int kMinAddressBits = 6;
constexpr int kMaxAddressBits = 8;
constexpr std::uint32_t kOurBits = kClock | kChipSelect | kDataToEeprom | kDataInputEnable;
// The pins this library drives and reads back as written.
constexpr std::uint32_t kPins = kClock | kChipSelect | kDataToEeprom;
// How much longer a word that did not finish in time is waited for before
// EWDS: a part still programming ignores EWDS.
constexpr int kLateProgramMs = 50;

const char kStoppedAnswering[] =
    "the board stopped answering during the transfer (power management, memory decoding switched off, or "
    "removed)";
const char kChangedByAnother[] = "CNTRL was changed by another agent during the transfer";

// CNTRL's bits other than those this library drives, as a write keeps them.
std::uint32_t Others(std::uint32_t control) {
  return control & ~(kOurBits | kDataFromEeprom | kReloadConfig | kLocalReset);
}

enum Opcode { kExtended = 0, kWrite = 1, kRead = 2 };

// The wires to the EEPROM, as the bridge's register drives them.
class Wires {
 public:
  explicit Wires(const RegisterBus& bus)
      : bus_(bus), original_(bus.Read(kControlRegister)), others_(Others(original_)), written_(original_) {}
  ~Wires() {
    // Chip select low, the other EEPROM bits as they were; nothing after
    // a stop.
    if (touched_) Put(original_ & (kClock | kDataToEeprom | kDataInputEnable));
  }
  Wires(const Wires&) = delete;
  Wires& operator=(const Wires&) = delete;

  std::uint32_t original() const { return original_; }
  // Why the transfer had to stop; "" while it may go on.
  const std::string& stopped() const { return stopped_; }

  // Chip select low, then high: the start of a command.
  void Select() {
    Put(0);
    Put(kChipSelect);
  }
  void Deselect() { Put(0); }

  // One clock with `bit` on EEDI.
  void Send(bool bit) {
    const std::uint32_t data = bit ? kDataToEeprom : 0;
    Put(kChipSelect | data);
    Put(kChipSelect | data | kClock);
  }
  void Send(std::uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) Send(((value >> i) & 1) != 0);
  }

  // Lets the EEPROM drive the data line (EEDI high, EEDO as an input),
  // leaving the clock as it is, and reads what it says a half period later.
  bool Listen() {
    Put(kChipSelect | kDataToEeprom | kDataInputEnable | (last_ & kClock));
    WaitHalfPeriod();
    return Sample();
  }
  // One clock with the EEPROM driving the data line; the bit it sent,
  // sampled at the end of the high half.
  bool Receive() {
    Put(kChipSelect | kDataToEeprom | kDataInputEnable);
    Put(kChipSelect | kDataToEeprom | kDataInputEnable | kClock);
    WaitHalfPeriod();
    return Sample();
  }
  // The data line as it is now (0 once stopped).
  bool Sample() {
    if (!stopped_.empty()) return false;
    const std::uint32_t control = bus_.Read(kControlRegister);
    return Judge(control) && (control & kDataFromEeprom) != 0;
  }

 private:
  // Whether a read of CNTRL lets the transfer go on; takes the other bits
  // from it for the next write.
  bool Judge(std::uint32_t control) {
    if (control == 0xFFFFFFFFu || (control & kLocalReset) != 0) {
      stopped_ = kStoppedAnswering;
    } else if ((control & kPins) != (written_ & kPins)) {
      stopped_ = kChangedByAnother;
    } else {
      others_ = Others(control);
      return true;
    }
    touched_ = false;  // CNTRL is written no more
    return false;
  }
  void WaitHalfPeriod() const {
    while (Clock::now() - last_edge_ < kHalfPeriod) {
    }
  }
  void Put(std::uint32_t bits) {
    if (!stopped_.empty()) return;
    WaitHalfPeriod();
    written_ = others_ | bits;
    bus_.Write(kControlRegister, written_);
    // The write has reached the bridge once this read is answered; its
    // value is judged before the clock is read (see the top of the file).
    if (!Judge(bus_.Read(kControlRegister))) return;
    last_edge_ = Clock::now();
    last_ = bits;
    touched_ = true;
  }

  const RegisterBus& bus_;
  const std::uint32_t original_;
  std::uint32_t others_;
  std::uint32_t written_;
  std::uint32_t last_ = 0;
  bool touched_ = false;
  std::string stopped_;
  Clock::time_point last_edge_ = Clock::now() - kHalfPeriod;
};

bool LocalBusFree(const Wires& wires, std::string& why) {
  // A read that nobody answers comes back as all ones.
  if (wires.original() == 0xFFFFFFFFu) {
    why =
        "the board is not responding (CNTRL reads 0xffffffff): unplugged, powered down, or memory decoding "
        "turned off";
    return false;
  }
  if ((wires.original() & kLocalReset) == 0) return true;
  why = "the local bus is held in reset (bit 30 of CNTRL is set): not touching the EEPROM";
  return false;
}

// Starts a READ at word 0 and finds the address width from the dummy 0 bit;
// the EEPROM then stands ready to send word 0. 0 when no EEPROM answers.
int StartRead(Wires& wires, std::string& why) {
  wires.Select();
  wires.Send(1);
  wires.Send(kRead, 2);
  for (int bits = 1; bits <= kMaxAddressBits; ++bits) {
    wires.Send(false);
    const bool high = wires.Listen();
    if (!wires.stopped().empty()) {
      why = wires.stopped();
      return 0;
    }
    if (high) continue;
    if (bits >= kMinAddressBits) return bits;
    why = "the EEPROM data line reads 0 after " + std::to_string(bits) +
          " address bits, before any EEPROM could answer (a data line stuck low?)";
    return 0;
  }
  why =
      (wires.original() & kEepromPresent) != 0
          ? "no EEPROM answers a read (no dummy 0 bit)"
          : "no EEPROM answers a read (no dummy 0 bit), and the bridge found none at reset (bit 28 of CNTRL)";
  return 0;
}

// Reads the bridge's 64 words, or (`whole_part`) every word of the part:
// 128 on a part of 8 address bits. The address width, or 0.
int ReadAll(Wires& wires, std::uint16_t words[], bool whole_part, std::string& why) {
  const int address_bits = StartRead(wires, why);
  if (address_bits == 0) return 0;
  const int count = whole_part && address_bits == kMaxAddressBits ? kLargestEepromWords : kEepromWords;
  for (int word = 0; word < count; ++word) {
    std::uint16_t value = 0;
    for (int bit = 0; bit < 16; ++bit)
      value = static_cast<std::uint16_t>(value << 1 | (wires.Receive() ? 1 : 0));
    words[word] = value;
    if (!wires.stopped().empty()) {
      why = wires.stopped();
      return 0;
    }
  }
  wires.Deselect();
  return address_bits;
}

// EWEN (`enable`) or EWDS.
void WriteEnable(Wires& wires, int address_bits, bool enable) {
  wires.Select();
  wires.Send(1);
  wires.Send(kExtended, 2);
  wires.Send(enable ? 3u : 0u, 2);
  wires.Send(0, address_bits - 2);
  wires.Deselect();
}

// Polls ready for up to `limit_ms` (chip select high); whether it came.
bool PollReady(Wires& wires, int limit_ms) {
  const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(limit_ms);
  bool ready = wires.Listen();
  while (!ready && Clock::now() < limit && wires.stopped().empty()) ready = wires.Sample();
  // A process that was not scheduled for the whole limit still gets one
  // look after it.
  if (!ready) ready = wires.Sample();
  return ready;
}

// WRITE of one word, then the ready poll: at most kWordProgramLimitMs.
bool WriteWord(Wires& wires, int address_bits, int word, std::uint16_t value) {
  wires.Select();
  wires.Send(1);
  wires.Send(kWrite, 2);
  wires.Send(static_cast<std::uint32_t>(word), address_bits);
  wires.Send(value, 16);
  wires.Deselect();  // programming starts
  wires.Select();
  const bool ready = PollReady(wires, kWordProgramLimitMs);
  wires.Deselect();
  return ready;
}

// The words the bridge loads as its PCI identity (Device ID, Vendor ID):
// written last, so that a flash cut short leaves the board under the IDs
// it had, where this library still finds it.
bool IsIdentityWord(int word) { return word == 0 || word == 1; }

std::string Hex(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04x", value);
  return text;
}

// Whether another master was seen on the pins (the reason in `why`).
bool Seen(const OtherMasterCheck& other_master, std::string& why) {
  return other_master && other_master(why);
}

}  // namespace

bool ReadEeprom(const RegisterBus& bus, std::uint16_t words[kEepromWords], std::string& why,
                const OtherMasterCheck& other_master) {
  Wires wires(bus);
  if (!LocalBusFree(wires, why)) return false;
  if (ReadAll(wires, words, false, why) == 0) return false;
  // Words read while another master restarted the EEPROM's decoder are
  // not its contents.
  return !Seen(other_master, why);
}

bool WriteEeprom(const RegisterBus& bus, const std::uint16_t words[kEepromWords], std::string& why,
                 const OtherMasterCheck& other_master) {
  Wires wires(bus);
  if (!LocalBusFree(wires, why)) return false;
  std::uint16_t before[kLargestEepromWords];
  const int address_bits = ReadAll(wires, before, true, why);
  if (address_bits == 0) return false;
  if (Seen(other_master, why)) return false;

  int order[kEepromWords];
  int count = 0;
  for (int word = 0; word < kEepromWords; ++word)
    if (!IsIdentityWord(word)) order[count++] = word;
  for (int word = 0; word < kEepromWords; ++word)
    if (IsIdentityWord(word)) order[count++] = word;

  int first_failed = -1;
  bool interrupted = false;
  for (const int word : order) {
    if (before[word] == words[word]) continue;
    if (bus.lost()) break;  // the registers are gone: no more commands
    // Write-enable latched for this word only: another master that cuts
    // into a command can then make the EEPROM erase or write nothing but
    // inside this word's command.
    WriteEnable(wires, address_bits, true);
    const bool ready = WriteWord(wires, address_bits, word, words[word]);
    bool late = true;
    if (!ready && wires.stopped().empty()) {
      // A part still programming ignores EWDS: wait for it a while longer.
      wires.Select();
      late = PollReady(wires, kLateProgramMs);
      wires.Deselect();
    }
    WriteEnable(wires, address_bits, false);
    if (!wires.stopped().empty()) break;
    if (Seen(other_master, why)) {
      interrupted = true;
      break;
    }
    if (!ready) {
      // An EEPROM that does not finish one word gets no more commands.
      first_failed = word;
      why = "word " + std::to_string(word) + " did not finish programming within " +
            std::to_string(kWordProgramLimitMs) + " ms";
      if (!late) why += "; write-enable may stay on until the board is powered off";
      break;
    }
  }
  if (!wires.stopped().empty()) {
    why = wires.stopped();
    return false;
  }
  if (interrupted) return false;

  std::uint16_t after[kLargestEepromWords];
  std::string unread;
  if (ReadAll(wires, after, true, unread) == 0) {
    if (first_failed < 0 || !wires.stopped().empty()) why = unread;
    return false;
  }
  if (Seen(other_master, why)) return false;
  for (int word = 0; word < kEepromWords; ++word) {
    if (after[word] == words[word]) continue;
    if (first_failed < 0 || word < first_failed) {
      why = "word " + std::to_string(word) + " reads back " + Hex(after[word]) + " where " +
            Hex(words[word]) + " was written";
    }
    return false;
  }
  const int size = address_bits == kMaxAddressBits ? kLargestEepromWords : kEepromWords;
  for (int word = kEepromWords; word < size; ++word) {
    if (after[word] == before[word]) continue;
    why = "word " + std::to_string(word) + ", outside the image, changed during the write: it reads " +
          Hex(after[word]) + " where it held " + Hex(before[word]);
    return false;
  }
  return first_failed < 0;
}

}  // namespace plx
