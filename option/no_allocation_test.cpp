// The parse and the usage layout must not allocate: this binary is linked
// with the allocation counter, which replaces the global operator new.
#include <gtest/gtest.h>

#include <string>

#include "option/option_table.h"
#include "option/parser.h"
#include "option/print_usage.h"
#include "testing/perf/allocation_count.h"

namespace option {
namespace {

// Collects output in a fixed array, allocating nothing itself.
struct FixedWriter final : PrintUsageImplementation::IStringWriter {
  void write(const char* str, std::int32_t size) override {
    for (std::int32_t i = 0; i < size && used < sizeof text; ++i) text[used++] = str[i];
  }
  char text[4096] = {};
  size_t used = 0;
};

TEST(NoAllocationTest, ParseAndLayoutAllocateNothing) {
  const char* args[] = {"-xf", "a.bin", "--save=b.bin", "-f", "c.bin", "--unknown", "word", nullptr};
  ParsedOption options[4];
  ParsedOption buffer[6];
  FixedWriter writer;

  const long before = perf::AllocationCount();
  Stats stats;
  stats.measure(7, args);
  const Parser parser(7, args, options, buffer);
  PrintUsageImplementation::FormatUsage(writer, option_table);
  const long after = perf::AllocationCount();

  EXPECT_EQ(after - before, 0);
  // The work was really done.
  EXPECT_EQ(stats.buffer_size, 6u);
  EXPECT_EQ(parser.occurrence_count, 5);
  EXPECT_STREQ(options[FLASH].argument, "a.bin");
  EXPECT_EQ(writer.used, 313u);  // the whole usage screen
  EXPECT_EQ(std::string(writer.text, 6), "USAGE:");
}

TEST(NoAllocationTest, CounterSeesAllocations) {
  const long before = perf::AllocationCount();
  // Kept in a volatile pointer: the compiler may drop a new whose memory is
  // never looked at, with the call it would count.
  int* volatile number = new int(1);
  delete number;
  EXPECT_EQ(perf::AllocationCount() - before, 1);
}

}  // namespace
}  // namespace option
