// A software model of a PLX9054 bridge's CNTRL register wired to a 93CS46 or
// 93CS56 serial EEPROM (x16), as their data sheets describe them: a clocked
// state machine for READ (with its dummy 0 bit and sequential words), EWEN,
// EWDS, WRITE, ERASE, ERAL and WRAL (the last four refused unless enabled,
// then busy for a while), and the
// one data pin that EEDI and EEDO share, and the EEPROM's output delay: a bit
// shifted out by a rising edge shows on the data line only that long after
// the edge. Faults can be set: a word that will not program, a busy state
// that never ends, a stuck data line, no EEPROM.
// It also counts clocks and register accesses and notes every write that
// sets bit 29 or 30 or changes a bit outside the EEPROM bits.
#ifndef VANTREL_PLXMODEL_BRIDGE_MODEL_H
#define VANTREL_PLXMODEL_BRIDGE_MODEL_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plxmodel {

struct Faults {
  int unprogrammable_word = -1;  // keeps its old value whatever is written
  bool busy_forever = false;
  // How long a word takes to program; zero: a few reads of the ready poll.
  std::chrono::milliseconds busy_time{0};
  // From this register access on (reads and writes, counted from 1) the
  // board answers no more, as a function put in D3cold, one whose memory
  // decoding was switched off, or one removed: reads give all ones, writes
  // are lost. 0: never.
  long stop_answering_at = 0;
  // Right after this many writes of CNTRL the local side (a CPU or FPGA on
  // the board) flips these bits of it. 0: never.
  long local_write_after = 0;
  std::uint32_t local_write_bits = 0;
  enum class DataLine { kWorking, kStuckLow, kStuckHigh } data_line = DataLine::kWorking;
  bool no_eeprom = false;
};

struct Counters {
  long clocks = 0;  // rising clock edges with chip select high
  long reads = 0;   // register accesses
  long writes = 0;
  long write_commands = 0;  // WRITE commands carried out
  std::vector<int> written_words;
  bool reserved_bits_written = false;  // bit 29 or 30 written as 1
  bool other_bits_changed = false;     // a bit outside 24-27 and 31 written other than it was
  long writes_unanswered = 0;          // writes after the board stopped answering
  long erase_commands = 0;             // ERASE, ERAL and WRAL carried out (never sent by the library)
  long write_enables = 0;              // EWEN commands
};

class BridgeModel {
 public:
  // An EEPROM of 64 (6 address bits) or 128 (8) words, blank (0xFFFF).
  explicit BridgeModel(int address_bits = 6, std::uint32_t control = kDefaultControl);

  std::uint32_t Read32(std::uint32_t offset);
  void Write32(std::uint32_t offset, std::uint32_t value);

  std::vector<std::uint16_t> words;  // the EEPROM's contents
  std::uint32_t permanent_id = 0x905410b5;
  Faults faults;
  Counters counters;
  // tPD: how long after a rising edge the bit it shifts out shows on DO.
  std::chrono::nanoseconds output_delay{0};
  // Called as a command starts to act on the EEPROM (a READ once its
  // address is in, a WRITE as its programming starts), and on every rising
  // edge, with the clock count: for checks made from inside a transfer.
  std::function<void(const char* moment)> on_command;
  std::function<void(long clocks)> on_clock;
  std::uint32_t control() const { return control_; }
  // Another master (the bridge's VPD engine) takes the pins for a moment:
  // the EEPROM sees chip select fall and rise, CNTRL shows nothing.
  void ChipSelectGlitch();
  bool write_enabled() const { return write_enabled_; }

  // EEPROM present, a few configuration bits set.
  static constexpr std::uint32_t kDefaultControl = 0x1000767E;

 private:
  enum class State { kIdle, kStart, kOpcode, kAddress, kReadData, kWriteData, kIgnoring };

  void RisingEdge(bool data_in);
  void ChipSelectFell();
  // What the EEPROM drives on the data line: 0, 1, or -1 when it does not;
  // DataOutNow without the output delay.
  int DataOut() const;
  int DataOutNow() const;
  bool Busy() const;
  // Counts an access; whether the board still answers it.
  bool Answers();

  int address_bits_;
  std::uint32_t control_;
  State state_ = State::kIdle;
  int opcode_ = 0;
  int count_ = 0;
  std::uint32_t address_ = 0;
  std::uint32_t data_ = 0;
  int out_bit_ = -1;  // the bit on the data line while reading
  bool write_enabled_ = false;
  // The command that acts when chip select falls, and the one that a
  // command taking 16 data bits (WRITE, WRAL) becomes once they are in.
  enum class Pending { kNone, kWrite, kErase, kEraseAll, kWriteAll };
  Pending pending_ = Pending::kNone;
  Pending after_data_ = Pending::kNone;
  bool programmed_ = false;  // a word was programmed: ready/busy shows once chip select rises
  long busy_polls_ = 0;
  std::chrono::steady_clock::time_point busy_until_{};
  // The data line before the last rising edge, shown until the output delay
  // has passed.
  int out_before_edge_ = -1;
  std::chrono::steady_clock::time_point edge_at_{};
};

}  // namespace plxmodel

#endif
