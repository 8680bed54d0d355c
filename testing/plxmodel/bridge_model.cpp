#include "testing/plxmodel/bridge_model.h"

namespace plxmodel {
namespace {

constexpr std::uint32_t kControl = 0x6C;
constexpr std::uint32_t kPermanentId = 0x70;
constexpr std::uint32_t kClock = 1u << 24;
constexpr std::uint32_t kChipSelect = 1u << 25;
constexpr std::uint32_t kDataIn = 1u << 26;
constexpr std::uint32_t kDataOut = 1u << 27;
constexpr std::uint32_t kReserved = (1u << 29) | (1u << 30);
constexpr std::uint32_t kEepromBits = kClock | kChipSelect | kDataIn | kDataOut | (1u << 31);
// Reads of the ready poll a word takes to program.
constexpr long kBusyPolls = 3;

}  // namespace

BridgeModel::BridgeModel(int address_bits, std::uint32_t control)
    : words(address_bits == 8 ? 128 : 64, 0xFFFF), address_bits_(address_bits), control_(control) {}

bool BridgeModel::Answers() {
  const long access = counters.reads + counters.writes;
  return faults.stop_answering_at == 0 || access < faults.stop_answering_at;
}

bool BridgeModel::Busy() const {
  if (faults.busy_forever) return true;
  if (faults.busy_time.count() > 0) return std::chrono::steady_clock::now() < busy_until_;
  return busy_polls_ > 0;
}

std::uint32_t BridgeModel::Read32(std::uint32_t offset) {
  ++counters.reads;
  if (!Answers()) return 0xFFFFFFFFu;
  if (offset == kPermanentId) return permanent_id;
  if (offset != kControl) return 0;
  if (programmed_ && busy_polls_ > 0 && (control_ & kChipSelect) != 0 && !faults.busy_forever) --busy_polls_;
  // One pin: it reads what the EEPROM drives only while the bridge drives
  // EEDI high; EEDI low pulls it to 0.
  bool line = (control_ & kDataIn) != 0;
  const int out = DataOut();
  if (line && out >= 0) line = out == 1;
  if (faults.data_line == Faults::DataLine::kStuckLow) line = false;
  if (faults.data_line == Faults::DataLine::kStuckHigh) line = true;
  return (control_ & ~kDataOut) | (line ? kDataOut : 0);
}

void BridgeModel::Write32(std::uint32_t offset, std::uint32_t value) {
  ++counters.writes;
  if (!Answers()) {
    ++counters.writes_unanswered;
    return;
  }
  if (offset != kControl) return;
  if ((value & kReserved) != 0) counters.reserved_bits_written = true;
  const std::uint32_t before = control_;
  if ((value & ~(kEepromBits | kReserved)) != (before & ~(kEepromBits | kReserved)))
    counters.other_bits_changed = true;
  control_ = (value & ~(kDataOut | kReserved)) | (before & kDataOut);
  const bool selected = (control_ & kChipSelect) != 0;
  if (((before ^ control_) & kChipSelect) != 0) edge_at_ = {};  // chip select acts at once
  if ((before & kChipSelect) != 0 && !selected) ChipSelectFell();
  if ((before & kChipSelect) == 0 && selected) state_ = State::kStart;
  if (selected && (before & kClock) == 0 && (control_ & kClock) != 0) {
    ++counters.clocks;
    out_before_edge_ = DataOut();
    edge_at_ = std::chrono::steady_clock::now();
    RisingEdge((control_ & kDataIn) != 0);
    if (on_clock) on_clock(counters.clocks);
  }
  if (faults.local_write_after != 0 && counters.writes == faults.local_write_after)
    control_ ^= faults.local_write_bits;
}

int BridgeModel::DataOut() const {
  if (output_delay.count() > 0 && std::chrono::steady_clock::now() - edge_at_ < output_delay)
    return out_before_edge_;
  return DataOutNow();
}

int BridgeModel::DataOutNow() const {
  if (faults.no_eeprom || (control_ & kChipSelect) == 0) return -1;
  if (state_ == State::kReadData) return out_bit_;
  // Ready/busy, from chip select rising after programming until a start bit.
  if (state_ == State::kStart && programmed_) return Busy() ? 0 : 1;
  return -1;
}

void BridgeModel::ChipSelectGlitch() {
  if ((control_ & kChipSelect) == 0) return;
  ChipSelectFell();
  state_ = State::kStart;
}

void BridgeModel::ChipSelectFell() {
  // Programming starts when chip select falls, and only with write-enable on.
  if (pending_ != Pending::kNone && write_enabled_) {
    if (pending_ == Pending::kWrite) {
      if (on_command) on_command("write");
      ++counters.write_commands;
      counters.written_words.push_back(static_cast<int>(address_));
      if (static_cast<int>(address_) != faults.unprogrammable_word)
        words[address_] = static_cast<std::uint16_t>(data_);
    } else {
      ++counters.erase_commands;
      const std::uint16_t value = pending_ == Pending::kWriteAll ? static_cast<std::uint16_t>(data_) : 0xFFFF;
      for (std::size_t word = 0; word < words.size(); ++word)
        if (pending_ != Pending::kErase || word == address_) words[word] = value;
    }
    programmed_ = true;
    busy_polls_ = kBusyPolls;
    busy_until_ = std::chrono::steady_clock::now() + faults.busy_time;
  }
  pending_ = Pending::kNone;
  state_ = State::kIdle;
}

void BridgeModel::RisingEdge(bool data_in) {
  if (faults.no_eeprom) return;
  const std::uint32_t size = static_cast<std::uint32_t>(words.size());
  switch (state_) {
    case State::kIdle:
    case State::kIgnoring:
      return;
    case State::kStart:
      if (!data_in) return;  // leading zeros are no command
      // A busy EEPROM takes no command.
      if (programmed_ && Busy()) {
        state_ = State::kIgnoring;
        return;
      }
      programmed_ = false;
      state_ = State::kOpcode;
      opcode_ = 0;
      count_ = 0;
      return;
    case State::kOpcode:
      opcode_ = opcode_ << 1 | (data_in ? 1 : 0);
      if (++count_ == 2) state_ = State::kAddress, count_ = 0, address_ = 0;
      return;
    case State::kAddress:
      address_ = address_ << 1 | (data_in ? 1 : 0);
      if (++count_ < address_bits_) return;
      count_ = 0;
      if (opcode_ == 2) {  // READ: the dummy 0 bit
        if (on_command) on_command("read");
        state_ = State::kReadData;
        out_bit_ = 0;
        count_ = -1;
      } else if (opcode_ == 1) {  // WRITE
        state_ = State::kWriteData, data_ = 0, after_data_ = Pending::kWrite;
      } else if (opcode_ == 3) {  // ERASE
        pending_ = Pending::kErase;
        state_ = State::kIgnoring;
      } else {
        const std::uint32_t kind = address_ >> (address_bits_ - 2);
        if (kind == 3) write_enabled_ = true, ++counters.write_enables;
        if (kind == 0) write_enabled_ = false;
        state_ = State::kIgnoring;
        if (kind == 2) pending_ = Pending::kEraseAll;
        if (kind == 1) state_ = State::kWriteData, data_ = 0, after_data_ = Pending::kWriteAll;  // WRAL
      }
      return;
    case State::kReadData:
      if (++count_ == 16) count_ = 0, address_ = (address_ + 1) % size;
      out_bit_ = (words[address_] >> (15 - count_)) & 1;
      return;
    case State::kWriteData:
      data_ = data_ << 1 | (data_in ? 1 : 0);
      if (++count_ == 16) pending_ = after_data_, state_ = State::kIgnoring;
      return;
  }
}

}  // namespace plxmodel
