// Converting an image to register order and writing its report, as the
// flash and save procedures do once per run.
#include <benchmark/benchmark.h>

#include <sstream>

#include "eeprom/eeprom_image.h"
#include "eeprom/image_report.h"
#include "testing/perf/allocation_count.h"

namespace {

void BM_ConvertAndReport(benchmark::State& state) {
  for (int i = 0; i < kEepromImageSize; ++i) g_eeprom_image.bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
  g_eeprom_image.bytes[kExtraOffset + 10] = 0;

  std::ostringstream out;
  const long allocations_before = perf::AllocationCount();
  for (auto _ : state) {
    out.str(std::string());
    ConvertWordOrder();
    PrintImageReport(out);
    benchmark::DoNotOptimize(out);
  }
  state.counters["allocations"] = benchmark::Counter(
      static_cast<double>(perf::AllocationCount() - allocations_before), benchmark::Counter::kAvgIterations);
  state.counters["report_bytes"] = static_cast<double>(out.str().size());
}
BENCHMARK(BM_ConvertAndReport);

}  // namespace
