#include "option/parsed_option.h"

namespace option {

ParsedOption::ParsedOption() : descriptor(nullptr), name(nullptr), argument(nullptr), name_length(0) {
  make_alone();
}

ParsedOption::ParsedOption(const OptionDescriptor* descriptor_, const char* name_, const char* argument_)
    : descriptor(descriptor_), name(name_), argument(argument_), name_length(measure_name(name_)) {
  make_alone();
}

ParsedOption::ParsedOption(const ParsedOption& source) : ParsedOption() { assign(source); }

ParsedOption& ParsedOption::operator=(const ParsedOption& source) {
  assign(source);
  return *this;
}

void ParsedOption::assign(const ParsedOption& source) {
  descriptor = source.descriptor;
  name = source.name;
  argument = source.argument;
  name_length = measure_name(name);
  make_alone();
}

void ParsedOption::make_alone() {
  next = link_to(this, true);
  previous = link_to(this, true);
}

std::int32_t ParsedOption::measure_name(const char* name) {
  if (name == nullptr) return 0;
  if (name[0] != '-') return 1;
  std::int32_t length = 1;
  while (name[length] != '\0' && name[length] != '=') ++length;
  return length;
}

ParsedOption* ParsedOption::list_first() const {
  const ParsedOption* record = this;
  while (!is_marked(record->previous)) record = target(record->previous);
  return const_cast<ParsedOption*>(record);
}

ParsedOption* ParsedOption::list_last() const { return target(list_first()->previous); }

void ParsedOption::add_to_list(ParsedOption* alone) {
  ParsedOption* last = list_last();
  ParsedOption* first = list_first();
  last->next = link_to(alone, false);
  alone->previous = link_to(last, false);
  alone->next = link_to(first, true);
  first->previous = link_to(alone, true);
}

}  // namespace option
