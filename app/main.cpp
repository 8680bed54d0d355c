// Entry of the tool: reads the command line and shows the usage screen when
// there is nothing to do.
#include <cstdint>
#include <iostream>
#include <memory>

#include "option/option_table.h"
#include "option/parser.h"
#include "option/print_usage.h"

namespace {

// The parse results live until the process ends.
std::unique_ptr<option::ParsedOption[]> g_options;
std::unique_ptr<option::ParsedOption[]> g_buffer;

int ShowUsage() {
  option::PrintUsageImplementation::OStreamWriter<std::ostream> writer(std::cout);
  option::PrintUsageImplementation::FormatUsage(writer, option::option_table);
  std::cout << "Press any key to exit..." << std::endl;
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::int32_t count = argc > 0 ? argc - 1 : 0;
  const char* const* args = argc > 0 ? argv + 1 : argv;

  option::Stats stats;
  stats.measure(count, args);
  g_options.reset(new option::ParsedOption[stats.options_size]);
  g_buffer.reset(new option::ParsedOption[stats.buffer_size]);
  const option::Parser parser(count, args, g_options.get(), g_buffer.get());

  if (count == 0 || parser.error) return ShowUsage();
  return 0;
}
