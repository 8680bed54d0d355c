// Laying out usage screens: the program's own table, and generated tables of
// long wrapped descriptions whose time per byte of help text should not grow
// with their size. Nothing is allocated.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "option/option_table.h"
#include "option/print_usage.h"
#include "testing/perf/allocation_count.h"

namespace option {
namespace {

using Layout = PrintUsageImplementation;

// Counts what it is given and keeps nothing.
struct CountingWriter final : Layout::IStringWriter {
  void write(const char* str, std::int32_t size) override {
    benchmark::DoNotOptimize(str);
    bytes += size;
  }
  long long bytes = 0;
};

// A table of option rows, each with a description of about 2 KB that wraps
// over some 35 lines, until the help texts total `total_bytes`.
struct GeneratedTable {
  explicit GeneratedTable(std::size_t total_bytes) {
    std::string description;
    for (int word = 0; description.size() < 2000; ++word) {
      description += (word % 7 == 0) ? "configuration " : "data ";
    }
    while (help_bytes < total_bytes) {
      texts.push_back("  --option-" + std::to_string(texts.size()) + ", -o  \t" + description);
      help_bytes += texts.back().size();
    }
    for (const std::string& text : texts)
      rows.push_back({UNKNOWN, 0, "o", "option", check_none, text.c_str()});
    rows.push_back({0, 0, nullptr, nullptr, nullptr, nullptr});
  }
  std::vector<std::string> texts;
  std::vector<OptionDescriptor> rows;
  std::size_t help_bytes = 0;
};

void Measure(benchmark::State& state, const OptionDescriptor* table, std::size_t help_bytes) {
  CountingWriter writer;
  const long allocations_before = perf::AllocationCount();
  for (auto _ : state) Layout::FormatUsage(writer, table);
  const long allocations = perf::AllocationCount() - allocations_before;

  state.counters["time_per_byte"] =
      benchmark::Counter(static_cast<double>(help_bytes),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocations"] = static_cast<double>(allocations);
  state.counters["output_bytes"] =
      static_cast<double>(writer.bytes) / static_cast<double>(state.iterations());
}

void BM_FormatUsageOwnTable(benchmark::State& state) {
  std::size_t help_bytes = 0;
  for (const OptionDescriptor* row = option_table; row->help != nullptr; ++row) {
    help_bytes += std::char_traits<char>::length(row->help);
  }
  Measure(state, option_table, help_bytes);
}
BENCHMARK(BM_FormatUsageOwnTable);

void BM_FormatUsageGenerated(benchmark::State& state) {
  const GeneratedTable table(static_cast<std::size_t>(state.range(0)));
  Measure(state, table.rows.data(), table.help_bytes);
}
BENCHMARK(BM_FormatUsageGenerated)->Arg(64 << 10)->Arg(1 << 20);

}  // namespace
}  // namespace option
