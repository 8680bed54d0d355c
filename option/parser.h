// Command-line parsing in two passes over the same arguments: option::Stats
// sizes the result arrays, option::Parser fills them without allocating.
//
// Rules: the first argument that is not an option, or "--", ends the scan; a
// single dash introduces short options only; long names match only in full and
// with exact case; "=" attaches an argument to long options only; an option no
// row knows is stored under UNKNOWN; the only error is a missing required
// argument.
#ifndef VANTREL_OPTION_PARSER_H
#define VANTREL_OPTION_PARSER_H

#include <cstdint>

#include "option/option_table.h"
#include "option/parsed_option.h"

namespace option {

class Parser {
 public:
  // Receives what the scan finds.
  class Action {
   public:
    // One occurrence whose check did not answer Illegal; false fails the scan.
    virtual bool on_option(const ParsedOption& option) = 0;
    // The scan ended without failure; `remaining` arguments are left over
    // starting at `rest`. The answer is the scan's result.
    virtual bool on_end(std::int32_t remaining, const char* const* rest) = 0;

   protected:
    ~Action() = default;
  };

  class StoreOptionAction;

  std::int32_t occurrence_count;      // occurrences stored in `buffer`
  std::int32_t nonoption_count;       // arguments left over, else 0
  const char* const* nonoption_args;  // the first of them, else null
  bool error;                         // the parse failed

  // Parses at once. `options` needs Stats::options_size slots and `buffer`
  // Stats::buffer_size slots, all empty, from a sizing pass over the same
  // arguments.
  Parser(std::int32_t count, const char* const* args, ParsedOption* options, ParsedOption* buffer);
};

class Parser::StoreOptionAction final : public Parser::Action {
 public:
  StoreOptionAction(Parser& parser, ParsedOption* options, ParsedOption* buffer)
      : parser(parser), options(options), buffer(buffer) {}

  bool on_option(const ParsedOption& option) override;
  bool on_end(std::int32_t remaining, const char* const* rest) override;

  Parser& parser;
  ParsedOption* options;
  ParsedOption* buffer;
};

// The sizing pass.
class Stats {
 public:
  class CountOptionsAction final : public Parser::Action {
   public:
    explicit CountOptionsAction(std::uint32_t* counter) : counter(counter) {}

    bool on_option(const ParsedOption& option) override;
    bool on_end(std::int32_t remaining, const char* const* rest) override;

    std::uint32_t* counter;
  };

  std::uint32_t buffer_size = 1;   // occurrences + 1
  std::uint32_t options_size = 1;  // highest OptionIndex + 2

  // Raises both sizes for these arguments over option_table.
  void measure(std::int32_t count, const char* const* args);
};

// The scan both passes share. True when it ended without failure (then it is
// on_end's answer), false when a check answered Illegal or on_option refused.
bool scan_arguments(std::int32_t count, const char* const* args, Parser::Action& action, bool report);

// The most occurrences either pass accepts.
constexpr std::uint32_t kMaxOccurrences = 0x7FFFFFFF;

}  // namespace option

#endif  // VANTREL_OPTION_PARSER_H
