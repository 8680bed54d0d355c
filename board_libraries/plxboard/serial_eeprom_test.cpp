// The EEPROM protocol against the software model of the bridge and a
// 93CS46/93CS56 (testing/plxmodel/): what it reads and writes, how many clocks and
// register accesses it takes, and that it keeps CNTRL's other bits. The
// model's EEPROM answers at once or, as the slower grades do, 2 us after the
// rising edge: a bit sampled straight after the edge is the one before it.
#include "board_libraries/plxboard/serial_eeprom.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "testing/plxmodel/bridge_model.h"

namespace {

using plxmodel::BridgeModel;

const plx::BusOperations kModelOperations = {
    [](void* model, std::uint32_t offset) { return static_cast<BridgeModel*>(model)->Read32(offset); },
    [](void* model, std::uint32_t offset, std::uint32_t value) {
      static_cast<BridgeModel*>(model)->Write32(offset, value);
    },
    [](void*) {}, nullptr};

plx::RegisterBus BusTo(BridgeModel& model) { return plx::RegisterBus(&kModelOperations, &model); }

constexpr std::chrono::nanoseconds kOutputDelays[] = {std::chrono::nanoseconds(0),
                                                      std::chrono::nanoseconds(2000)};

// A received bit takes two writes, each read back so that the wait behind
// it counts from when it reached the bridge, and the sample at the end of
// the high half; a sent bit takes the two writes and their read-backs. With
// chip select's edges around each command: at most 5.1 a clock.
bool FewAccesses(const BridgeModel& model) {
  return 10 * (model.counters.reads + model.counters.writes) <= 51 * model.counters.clocks;
}

std::vector<std::uint16_t> Pattern(std::uint16_t seed) {
  std::vector<std::uint16_t> words(64);
  for (int i = 0; i < 64; ++i) words[i] = static_cast<std::uint16_t>(seed * (i + 1) ^ (i << 9));
  return words;
}

// Whatever the outcome: bits 29 and 30 never written as 1, the bits outside
// the EEPROM's kept, chip select low and the EEPROM bits as they were.
void ExpectDiscipline(const BridgeModel& model) {
  EXPECT_FALSE(model.counters.reserved_bits_written);
  EXPECT_FALSE(model.counters.other_bits_changed);
  EXPECT_EQ(model.control() & 0x87000000u, BridgeModel::kDefaultControl & 0x87000000u);
}

TEST(SerialEepromTest, ReadsAllWordsOfEitherSizeInOneSequentialRead) {
  for (const auto delay : kOutputDelays) {
    for (const int address_bits : {6, 8}) {
      BridgeModel model(address_bits);
      model.output_delay = delay;
      const std::vector<std::uint16_t> stored = Pattern(0x1234);
      std::copy(stored.begin(), stored.end(), model.words.begin());
      std::uint16_t words[64];
      std::string why;
      const auto start = std::chrono::steady_clock::now();
      ASSERT_TRUE(plx::ReadEeprom(BusTo(model), words, why)) << why;
      const auto took = std::chrono::steady_clock::now() - start;
      EXPECT_EQ(std::vector<std::uint16_t>(words, words + 64), stored) << delay.count();
      // The least a read of 64 words takes: start bit, opcode, address, 64 x
      // 16. One address bit more or less is a width found wrong.
      EXPECT_EQ(model.counters.clocks, 3 + address_bits + 64 * 16) << delay.count();
      EXPECT_TRUE(FewAccesses(model));
      // Two half periods of at least 2 us a clock: 250 kHz at the most.
      EXPECT_GE(took, std::chrono::microseconds(4) * model.counters.clocks);
      ExpectDiscipline(model);
      std::printf(
          "read, %d address bits, tPD %lld ns: %ld clocks, %.2f register accesses per clock, %.2f ms\n",
          address_bits, static_cast<long long>(delay.count()), model.counters.clocks,
          static_cast<double>(model.counters.reads + model.counters.writes) / model.counters.clocks,
          std::chrono::duration<double, std::milli>(took).count());
    }
  }
}

struct WriteCase {
  const char* name;
  std::vector<int> changed;  // the words the new image changes
  std::vector<int> written;  // the WRITE commands expected
};

TEST(SerialEepromTest, WritesOnlyTheWordsThatDiffer) {
  // Device ID and Vendor ID (words 0 and 1) go last: a flash cut short
  // leaves the board under the IDs it had.
  std::vector<int> all;
  std::vector<int> all_identity_last;
  for (int i = 0; i < 64; ++i) all.push_back(i);
  for (int i = 2; i < 64; ++i) all_identity_last.push_back(i);
  all_identity_last.insert(all_identity_last.end(), {0, 1});
  const WriteCase cases[] = {{"none", {}, {}},
                             {"some", {3, 40, 62, 63}, {3, 40, 62, 63}},
                             {"identity", {0, 1, 5}, {5, 0, 1}},
                             {"all", all, all_identity_last}};
  for (const auto delay : kOutputDelays) {
    for (const int address_bits : {6, 8}) {
      for (const WriteCase& c : cases) {
        BridgeModel model(address_bits);
        model.output_delay = delay;
        const std::vector<std::uint16_t> before = Pattern(0x0101);
        std::copy(before.begin(), before.end(), model.words.begin());
        std::vector<std::uint16_t> image = before;
        for (const int word : c.changed) image[word] = static_cast<std::uint16_t>(~image[word]);
        std::string why;
        EXPECT_TRUE(plx::WriteEeprom(BusTo(model), image.data(), why)) << c.name << ": " << why;
        EXPECT_EQ(std::vector<std::uint16_t>(model.words.begin(), model.words.begin() + 64), image) << c.name;
        EXPECT_EQ(model.counters.written_words, c.written) << c.name;
        EXPECT_FALSE(model.write_enabled()) << c.name;
        // Write-enable latched around each WRITE only.
        EXPECT_EQ(model.counters.write_enables, static_cast<long>(c.written.size())) << c.name;
        // The least: a read of every word of the part, EWEN, WRITE and
        // EWDS for each changed word, the read-back.
        const long read = 3 + address_bits + (address_bits == 8 ? 128 : 64) * 16;
        const long command = 3 + address_bits;
        const long minimum = 2 * read + (3 * command + 16) * static_cast<long>(c.written.size());
        EXPECT_LE(model.counters.clocks, minimum * 3 / 2) << c.name;
        EXPECT_TRUE(FewAccesses(model)) << c.name;
        ExpectDiscipline(model);
        if (delay.count() > 0) {
          std::printf(
              "flash of %zu changed words, %d address bits: %ld clocks (least %ld), %.2f register accesses "
              "per clock\n",
              c.written.size(), address_bits, model.counters.clocks, minimum,
              static_cast<double>(model.counters.reads + model.counters.writes) / model.counters.clocks);
        }
      }
    }
  }
}

struct FaultCase {
  const char* name;
  void (*set)(BridgeModel&);
  std::string why;
  long most_clocks;  // a failure gives up where it is found: no retry, no later word
};

// Clocks of a whole read of a 6-bit part, and of one word's EWEN, WRITE and EWDS.
constexpr long kReadClocks = 3 + 6 + 64 * 16;
constexpr long kWordClocks = 3 * (3 + 6) + 16;

TEST(SerialEepromTest, FailsWithAReasonAndWithinItsBounds) {
  const FaultCase cases[] = {
      {"unprogrammable word", [](BridgeModel& m) { m.faults.unprogrammable_word = 5; },
       "word 5 reads back 0xfffa where 0x0005 was written", 2 * kReadClocks + 64 * kWordClocks},
      {"busy forever", [](BridgeModel& m) { m.faults.busy_forever = true; },
       "word 2 did not finish programming within 20 ms; write-enable may stay on until the board is powered "
       "off",
       kReadClocks + 2 * kWordClocks},
      {"no EEPROM", [](BridgeModel& m) { m.faults.no_eeprom = true; }, "no EEPROM answers a read",
       3 + 6 + 16},
      {"data line stuck low",
       [](BridgeModel& m) { m.faults.data_line = plxmodel::Faults::DataLine::kStuckLow; },
       "the EEPROM data line reads 0 after 1 address bits", 3 + 6 + 16},
      {"data line stuck high",
       [](BridgeModel& m) { m.faults.data_line = plxmodel::Faults::DataLine::kStuckHigh; },
       "no EEPROM answers a read", 3 + 6 + 16},
  };
  for (const FaultCase& c : cases) {
    BridgeModel model;
    for (int i = 0; i < 64; ++i) model.words[i] = static_cast<std::uint16_t>(~i);
    c.set(model);
    std::uint16_t image[64];
    for (int i = 0; i < 64; ++i) image[i] = static_cast<std::uint16_t>(i);
    std::string why;
    EXPECT_FALSE(plx::WriteEeprom(BusTo(model), image, why)) << c.name;
    EXPECT_LE(model.counters.clocks, c.most_clocks) << c.name;
    EXPECT_EQ(why.rfind(c.why, 0), 0u) << c.name << ": " << why;
    ExpectDiscipline(model);
  }
}

// Someone holds the local bus in reset, or the board does not answer at all
// (a read of CNTRL comes back all ones): nothing is written to CNTRL.
TEST(SerialEepromTest, LeavesABridgeInLocalResetOrSilentAlone) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {BridgeModel::kDefaultControl | 1u << 30, "the local bus is held in reset"},
      {0xFFFFFFFFu, "the board is not responding (CNTRL reads 0xffffffff)"},
  };
  for (const auto& [control, reason] : cases) {
    BridgeModel model(6, control);
    std::uint16_t words[64] = {};
    std::string why;
    EXPECT_FALSE(plx::ReadEeprom(BusTo(model), words, why));
    EXPECT_FALSE(plx::WriteEeprom(BusTo(model), words, why));
    EXPECT_EQ(why.rfind(reason, 0), 0u) << why;
    EXPECT_EQ(model.counters.writes, 0);
  }
}

// A word that programs late: EWDS waits until the part is ready again (a
// part still programming ignores it), and only a part busy for good leaves
// write-enable on, which the reason says.
TEST(SerialEepromTest, WriteEnableGoesOffOnceALateWordIsDone) {
  struct Case {
    const char* name;
    std::chrono::milliseconds busy;
    bool forever;
    bool enabled_after;
  };
  const Case cases[] = {{"busy 60 ms", std::chrono::milliseconds(60), false, false},
                        {"busy for good", std::chrono::milliseconds(0), true, true}};
  for (const Case& c : cases) {
    BridgeModel model;
    model.faults.busy_time = c.busy;
    model.faults.busy_forever = c.forever;
    std::uint16_t image[64];
    for (int i = 0; i < 64; ++i) image[i] = static_cast<std::uint16_t>(i);
    std::string why;
    EXPECT_FALSE(plx::WriteEeprom(BusTo(model), image, why)) << c.name;
    const std::string late = "; write-enable may stay on until the board is powered off";
    EXPECT_EQ(why.find(late) != std::string::npos, c.enabled_after) << c.name << ": " << why;
    EXPECT_EQ(model.write_enabled(), c.enabled_after) << c.name;
    EXPECT_EQ(model.counters.write_commands, 1) << c.name;  // no word after the late one
  }
}

// A board that stops answering in the middle of a transfer (runtime power
// management, decoding switched off, removal): every read of CNTRL is
// judged, the transfer stops at once with that reason (never "no EEPROM"),
// and CNTRL is written no more; a save returns no words.
TEST(SerialEepromTest, StopsAtOnceWhenTheBoardStopsAnswering) {
  struct Case {
    const char* name;
    bool flash;
    long stop_at;  // the register access from which the board is gone; 0: in the first ready poll
  };
  const Case cases[] = {{"save, address phase", false, 20},
                        {"save, mid-data", false, 2000},
                        {"flash, mid-data", true, 3000},
                        {"flash, ready poll", true, 0}};
  for (const Case& c : cases) {
    BridgeModel model;
    model.faults.stop_answering_at = c.stop_at;
    if (c.stop_at == 0) {
      model.on_command = [&model](const char* moment) {
        if (std::string(moment) == "write" && model.faults.stop_answering_at == 0)
          model.faults.stop_answering_at = model.counters.reads + model.counters.writes + 4;
      };
    }
    std::uint16_t image[64];
    for (int i = 0; i < 64; ++i) image[i] = static_cast<std::uint16_t>(i);
    std::string why;
    EXPECT_FALSE(c.flash ? plx::WriteEeprom(BusTo(model), image, why)
                         : plx::ReadEeprom(BusTo(model), image, why))
        << c.name;
    EXPECT_EQ(
        why,
        "the board stopped answering during the transfer (power management, memory decoding switched off, "
        "or removed)")
        << c.name;
    // The write whose read-back showed the board gone, at the most.
    EXPECT_LE(model.counters.writes_unanswered, 1) << c.name;
    EXPECT_LE(model.counters.write_commands, 1) << c.name;
  }
}

// Another agent at CNTRL during a transfer: a change to the bits this
// library does not drive (USERO, an FPGA's program pin) is kept; one to the
// EEPROM's pins stops the transfer, and CNTRL is written no more.
TEST(SerialEepromTest, KeepsAnotherAgentsBitsAndStopsWhenItTakesThePins) {
  struct Case {
    const char* name;
    std::uint32_t bits;
    bool done;
  };
  const Case cases[] = {
      {"USERO", 1u << 16, true}, {"EECS", plx::kChipSelect, false}, {"EESK", plx::kClock, false}};
  for (const Case& c : cases) {
    BridgeModel model;
    model.faults.local_write_after = 500;
    model.faults.local_write_bits = c.bits;
    std::uint16_t words[64];
    std::string why;
    EXPECT_EQ(plx::ReadEeprom(BusTo(model), words, why), c.done) << c.name << ": " << why;
    if (c.done) {
      EXPECT_EQ(model.control() & c.bits, ~BridgeModel::kDefaultControl & c.bits) << c.name;
    } else {
      EXPECT_EQ(why, "CNTRL was changed by another agent during the transfer") << c.name;
      EXPECT_EQ(model.counters.writes, 500) << c.name;
    }
  }
}

// The bridge's VPD engine takes the EEPROM for a moment during a flash:
// chip select drops and rises where CNTRL cannot show it, and the EEPROM
// decodes what is left of the command, with write-enable latched, perhaps
// as ERASE or ERAL. Wherever the grab falls, the flash either leaves exactly
// the image and says so, or fails naming VPD; no command goes out after the
// one the grab cut into.
TEST(SerialEepromTest, AnotherMasterOnThePinsNeverGoesUnreported) {
  const std::vector<std::uint16_t> before = Pattern(0x0101);
  std::vector<std::uint16_t> image(64);
  for (int i = 0; i < 64; ++i) image[i] = static_cast<std::uint16_t>(~before[i]);
  // The reads take 1,033 clocks each, the 64 words 43 each between them.
  std::vector<long> positions = {20, 900};
  for (long clock = 1034; clock < 1033 + 64 * 43; clock += 37) positions.push_back(clock);
  int ran_unsent = 0;
  for (const long at : positions) {
    BridgeModel model;
    std::copy(before.begin(), before.end(), model.words.begin());
    bool grabbed = false;
    long commands_at_grab = 0;
    model.on_clock = [&](long clocks) {
      if (clocks != at) return;
      model.ChipSelectGlitch();
      grabbed = true;
      commands_at_grab = model.counters.write_commands;
    };
    std::string why;
    const bool done = plx::WriteEeprom(BusTo(model), image.data(), why, [&grabbed](std::string& moved) {
      if (grabbed) moved = "VPD";
      return grabbed;
    });
    ASSERT_TRUE(grabbed) << at;
    if (model.counters.erase_commands > 0) ++ran_unsent;
    const bool exact = std::vector<std::uint16_t>(model.words.begin(), model.words.end()) == image;
    EXPECT_FALSE(done && !exact) << "grab at clock " << at;
    if (!done) {
      EXPECT_EQ(why, "VPD") << "grab at clock " << at;
    }
    EXPECT_LE(model.counters.write_commands, commands_at_grab + 1) << "grab at clock " << at;
    ExpectDiscipline(model);
  }
  std::printf("grabs at %zu clocks: the EEPROM ran ERASE, ERAL or WRAL after %d\n", positions.size(),
              ran_unsent);
}

// On a part of 128 words the bridge holds only the first 64: a change to
// the others during a flash is reported as damage outside the image.
TEST(SerialEepromTest, DamageOutsideTheImageOnALargePartIsReported) {
  BridgeModel model(8);
  bool damaged = false;
  model.on_command = [&model, &damaged](const char* moment) {
    if (std::string(moment) != "write" || damaged) return;
    model.words[100] = 0x1234;
    damaged = true;
  };
  std::vector<std::uint16_t> image(64, 0xFFFF);
  image[3] = 0;
  std::string why;
  EXPECT_FALSE(plx::WriteEeprom(BusTo(model), image.data(), why));
  EXPECT_EQ(why,
            "word 100, outside the image, changed during the write: it reads 0x1234 where it held 0xffff");
}

}  // namespace
