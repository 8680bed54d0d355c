#include "option/parser.h"

namespace option {

Parser::Parser(std::int32_t count, const char* const* args, ParsedOption* options, ParsedOption* buffer)
    : occurrence_count(0), nonoption_count(0), nonoption_args(nullptr), error(false) {
  // Continue behind whatever an earlier parse left in the buffer.
  while (buffer[occurrence_count].is_present()) ++occurrence_count;
  StoreOptionAction store(*this, options, buffer);
  error = !scan_arguments(count, args, store, true);
}

// Every occurrence gets a buffer slot. The first of an index is also copied
// into options[index], which heads the list the later ones are linked into.
bool Parser::StoreOptionAction::on_option(const ParsedOption& option) {
  if (static_cast<std::uint32_t>(parser.occurrence_count) >= kMaxOccurrences) return false;
  ParsedOption& slot = buffer[parser.occurrence_count];
  slot.assign(option);
  ParsedOption& head = options[slot.descriptor->index];
  if (head.is_present()) {
    head.add_to_list(&slot);
  } else {
    head.assign(slot);
  }
  ++parser.occurrence_count;
  return true;
}

bool Parser::StoreOptionAction::on_end(std::int32_t remaining, const char* const* rest) {
  if (remaining > 0) {
    parser.nonoption_count = remaining;
    parser.nonoption_args = rest;
  }
  return true;
}

}  // namespace option
