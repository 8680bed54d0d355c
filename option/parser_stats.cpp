#include "option/parser.h"

namespace option {

void Stats::measure(std::int32_t count, const char* const* args) {
  for (const OptionDescriptor* row = option_table; row->short_names != nullptr; ++row) {
    if (row->index + 1 >= options_size) options_size = row->index + 2;
  }
  // A scan that fails stops counting where it fails; the parse fails there too.
  CountOptionsAction counter(&buffer_size);
  scan_arguments(count, args, counter, false);
}

bool Stats::CountOptionsAction::on_option(const ParsedOption& /*option*/) {
  if (*counter >= kMaxOccurrences) return false;
  ++*counter;
  return true;
}

bool Stats::CountOptionsAction::on_end(std::int32_t /*remaining*/, const char* const* /*rest*/) {
  return true;
}

}  // namespace option
