// The sizing pass plus the parse over long argument vectors: the time per
// argument should not grow with the count, and nothing is allocated.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "option/parser.h"
#include "testing/perf/allocation_count.h"

namespace option {
namespace {

// Ten arguments that are all taken as options or their arguments: short,
// long, attached and unknown ones, so that the scan never stops early.
const char* const kPattern[10] = {"-f",        "a.bin",          "--save=b.bin", "-xs",   "c.bin",
                                  "--unknown", "-fattached.bin", "--flash",      "d.bin", "-q"};

void BM_SizeAndParse(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  std::vector<const char*> args;
  for (std::int32_t i = 0; i < count; ++i) args.push_back(kPattern[i % 10]);
  args.push_back(nullptr);

  Stats sizes;
  sizes.measure(count, args.data());
  std::vector<ParsedOption> options(sizes.options_size);
  std::vector<ParsedOption> buffer(sizes.buffer_size);

  std::int32_t stored = 0;
  const long allocations_before = perf::AllocationCount();
  for (auto _ : state) {
    // The parse starts behind the last stored record, so the first slot and
    // the list heads must be empty again; every other slot is overwritten.
    buffer[0] = ParsedOption();
    for (ParsedOption& head : options) head = ParsedOption();
    Stats stats;
    stats.measure(count, args.data());
    const Parser parser(count, args.data(), options.data(), buffer.data());
    stored = parser.occurrence_count;
    benchmark::DoNotOptimize(stored);
  }
  const long allocations = perf::AllocationCount() - allocations_before;

  if (static_cast<std::uint32_t>(stored) + 1 != sizes.buffer_size)
    state.SkipWithError("the parse stopped early");
  state.counters["time_per_arg"] =
      benchmark::Counter(static_cast<double>(count),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocations"] = static_cast<double>(allocations);
}
BENCHMARK(BM_SizeAndParse)->Arg(10)->Arg(1000)->Arg(100000);

}  // namespace
}  // namespace option
