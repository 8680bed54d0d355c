// One occurrence of an option on the command line.
//
// All occurrences of one OptionIndex form a circular list in command-line
// order. The links are addresses with bit 0 used as a mark of the list's ends:
// the first record's `previous` and the last record's `next` carry it, every
// other link is a plain address. A record alone links to itself, marked.
#ifndef VANTREL_OPTION_PARSED_OPTION_H
#define VANTREL_OPTION_PARSED_OPTION_H

#include <cstdint>

#include "option/option_table.h"

namespace option {

class ParsedOption {
 public:
  std::uintptr_t next;                 // following occurrence; marked: the first (this is the last)
  std::uintptr_t previous;             // preceding occurrence; marked: the last (this is the first)
  const OptionDescriptor* descriptor;  // row matched; null in an empty record
  const char* name;                    // the option as written, inside its argument string
  const char* argument;                // the option's argument, or null
  std::int32_t name_length;            // length of the name as written

  // An empty record: a list of its own.
  ParsedOption();
  ParsedOption(const OptionDescriptor* descriptor, const char* name, const char* argument);

  // Copying takes the source's descriptor, name and argument only; the copy is
  // a list of its own and the source's list is untouched.
  ParsedOption(const ParsedOption& source);
  ParsedOption& operator=(const ParsedOption& source);
  void assign(const ParsedOption& source);

  bool is_present() const { return descriptor != nullptr; }

  ParsedOption* list_first() const;
  ParsedOption* list_last() const;

  // Appends `alone`, which must be a list of its own, to this record's list.
  void add_to_list(ParsedOption* alone);

  // 0 for null; 1 when `name` does not start with '-'; else the position of
  // the first '=' or NUL from position 1 on ("--flash=x" gives 7).
  static std::int32_t measure_name(const char* name);

  static bool is_marked(std::uintptr_t link) { return (link & 1U) != 0; }
  static ParsedOption* target(std::uintptr_t link) {
    return reinterpret_cast<ParsedOption*>(link & ~static_cast<std::uintptr_t>(1));
  }
  static std::uintptr_t link_to(const ParsedOption* record, bool marked) {
    return reinterpret_cast<std::uintptr_t>(record) | (marked ? 1U : 0U);
  }

 private:
  void make_alone();
};

// Bit 0 of a record's address must be free for the mark.
static_assert(alignof(ParsedOption) >= 2, "ParsedOption links need bit 0 of an address");

}  // namespace option

#endif  // VANTREL_OPTION_PARSED_OPTION_H
