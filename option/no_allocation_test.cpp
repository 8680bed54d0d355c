// The parse and the usage layout must not allocate: this binary counts every
// call of the global operator new.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "option/option_table.h"
#include "option/parser.h"
#include "option/print_usage.h"

namespace {
long g_allocations = 0;
}

void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

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

  const long before = g_allocations;
  Stats stats;
  stats.measure(7, args);
  const Parser parser(7, args, options, buffer);
  PrintUsageImplementation::FormatUsage(writer, option_table);
  const long after = g_allocations;

  EXPECT_EQ(after - before, 0);
  // The work was really done.
  EXPECT_EQ(stats.buffer_size, 6u);
  EXPECT_EQ(parser.occurrence_count, 5);
  EXPECT_STREQ(options[FLASH].argument, "a.bin");
  EXPECT_EQ(writer.used, 313u);  // the whole usage screen
  EXPECT_EQ(std::string(writer.text, 6), "USAGE:");
}

TEST(NoAllocationTest, CounterSeesAllocations) {
  const long before = g_allocations;
  delete new int(1);
  EXPECT_EQ(g_allocations - before, 1);
}

}  // namespace
}  // namespace option
