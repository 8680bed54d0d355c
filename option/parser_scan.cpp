// The argument scan shared by the sizing pass and the parse. It only reads the
// argument vector: nothing is reordered, altered or copied.
#include <cstring>

#include "option/parser.h"

namespace option {
namespace {

// The first row whose long name is all of `text`, or all of it up to an "=".
// Row 0's empty long name therefore matches any text that starts with "=".
const OptionDescriptor* find_long_row(const char* text) {
  for (const OptionDescriptor* row = option_table; row->long_name != nullptr; ++row) {
    const char* name = row->long_name;
    const char* cursor = text;
    while (*name != '\0' && *name == *cursor) {
      ++name;
      ++cursor;
    }
    if (*name == '\0' && (*cursor == '\0' || *cursor == '=')) return row;
  }
  return nullptr;
}

const OptionDescriptor* find_short_row(char character) {
  for (const OptionDescriptor* row = option_table; row->short_names != nullptr; ++row) {
    for (const char* name = row->short_names; *name != '\0'; ++name) {
      if (*name == character) return row;
    }
  }
  return nullptr;
}

// Options that no row knows are stored under the first row without names.
const OptionDescriptor* find_unknown_row() {
  for (const OptionDescriptor* row = option_table; row->short_names != nullptr; ++row) {
    if (row->short_names[0] == '\0' && row->long_name != nullptr && row->long_name[0] == '\0') return row;
  }
  return nullptr;
}

struct ScanPosition {
  std::int32_t index;
  std::int32_t remaining;
};

enum class Settled { Failed, ArgumentTaken, NoArgument };

// Asks the row's check about the occurrence, takes the next argument when the
// occurrence uses it, and hands the occurrence to the action.
Settled settle(ParsedOption& occurrence, const char* const* args, bool more, ScanPosition& scan,
               Parser::Action& action, bool report) {
  const CheckArg check = occurrence.descriptor->check;
  const ArgVerdict verdict = check != nullptr ? check(occurrence, report) : ArgVerdict::None;
  if (verdict == ArgVerdict::Illegal) return Settled::Failed;
  if (verdict == ArgVerdict::Ok) {
    // Only the very string of the next argument is consumed, not equal text.
    if (occurrence.argument != nullptr && more && occurrence.argument == args[scan.index + 1]) {
      ++scan.index;
      --scan.remaining;
    }
  } else {
    occurrence.argument = nullptr;
  }
  if (!action.on_option(occurrence)) return Settled::Failed;
  return verdict == ArgVerdict::Ok ? Settled::ArgumentTaken : Settled::NoArgument;
}

}  // namespace

bool scan_arguments(std::int32_t count, const char* const* args, Parser::Action& action, bool report) {
  ScanPosition scan{0, count > 0 ? count : 0};

  while (scan.remaining > 0 && args[scan.index] != nullptr) {
    const char* argument = args[scan.index];
    // A word, the empty string and a lone "-" are not options.
    if (argument[0] != '-' || argument[1] == '\0') break;
    if (argument[1] == '-' && argument[2] == '\0') {
      ++scan.index;
      --scan.remaining;
      break;
    }

    // Fixed for the whole argument, even after an option took the next one.
    const bool more = scan.remaining > 1;
    const char* following = more ? args[scan.index + 1] : nullptr;

    if (argument[1] == '-') {
      const char* text = argument + 2;
      const OptionDescriptor* row = find_long_row(text);
      const char* equals = std::strchr(text, '=');
      const char* candidate = equals != nullptr ? equals + 1 : following;
      if (row == nullptr) row = find_unknown_row();
      if (row != nullptr) {
        ParsedOption occurrence(row, argument, candidate);
        if (settle(occurrence, args, more, scan, action, report) == Settled::Failed) return false;
      }
    } else {
      for (const char* character = argument + 1; *character != '\0'; ++character) {
        const OptionDescriptor* row = find_short_row(*character);
        const char* candidate = character[1] != '\0' ? character + 1 : following;
        if (row == nullptr) row = find_unknown_row();
        if (row == nullptr) continue;
        ParsedOption occurrence(row, character, candidate);
        const Settled settled = settle(occurrence, args, more, scan, action, report);
        if (settled == Settled::Failed) return false;
        // The rest of the group, or the next argument, was this option's argument.
        if (settled == Settled::ArgumentTaken) break;
      }
    }

    ++scan.index;
    --scan.remaining;
  }

  if (scan.remaining > 0 && args[scan.index] == nullptr) scan.remaining = 0;
  return action.on_end(scan.remaining, args + scan.index);
}

}  // namespace option
