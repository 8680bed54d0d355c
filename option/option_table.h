// The command-line options of the tool: one row per option, read by both the
// parser and the usage screen.
#ifndef VANTREL_OPTION_OPTION_TABLE_H
#define VANTREL_OPTION_OPTION_TABLE_H

#include <cstdint>

namespace option {

class ParsedOption;

// Where the occurrences of a row are stored in the parse results.
enum OptionIndex : std::uint32_t { UNKNOWN = 0, FLASH = 1, SAVE = 2 };

// A row's judgement of an occurrence's argument.
enum class ArgVerdict : std::int32_t {
  None = 0,     // the option takes no argument
  Ok = 1,       // the argument is accepted
  Ignore = 2,   // the argument is disregarded
  Illegal = 3,  // the parse fails
};

// Judges the argument of an occurrence. `report` is true during the parse and
// false during the sizing pass; a check must answer the same in both.
using CheckArg = ArgVerdict (*)(const ParsedOption& option, bool report);

struct OptionDescriptor {
  std::uint32_t index;      // OptionIndex of the occurrences of this row
  std::int32_t type;        // unused, 0 in every row
  const char* short_names;  // short option characters; "" for none; null only in the terminator
  const char* long_name;    // long name without "--"; "" for none; null only in the terminator
  CheckArg check;
  const char* help;  // usage text: tab separates columns, vertical tab lines in a cell, newline rows
};

ArgVerdict check_none(const ParsedOption& option, bool report);
ArgVerdict check_required(const ParsedOption& option, bool report);

// Four rows and an all-zero terminator.
extern const OptionDescriptor option_table[5];

}  // namespace option

#endif  // VANTREL_OPTION_OPTION_TABLE_H
