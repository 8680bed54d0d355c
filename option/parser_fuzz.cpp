// Fuzzes the sizing pass and the parse over arbitrary argument vectors. The
// input is the arguments separated by NUL bytes; its first byte moves the
// argument count one below or above the number of arguments (above, the scan
// meets the vector's terminating null).
//
// Checked: both passes agree (buffer_size is one more than the occurrences
// stored, and the spare slot stays empty); the arrays are allocated at exactly
// the sizes the sizing pass asked for, so a write past them is reported; every
// stored FLASH or SAVE occurrence has its argument; and an error is only ever
// a required argument missing at the end: the failing occurrence is in the
// last argument, and the same arguments followed by one more parse cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "option/parser.h"

namespace {

using option::ParsedOption;

struct Outcome {
  bool error;
  std::int32_t occurrences;
};

Outcome SizeAndParse(std::int32_t count, const std::vector<const char*>& args) {
  option::Stats stats;
  stats.measure(count, args.data());
  if (stats.options_size != 4) std::abort();
  const std::unique_ptr<ParsedOption[]> options(new ParsedOption[stats.options_size]);
  const std::unique_ptr<ParsedOption[]> buffer(new ParsedOption[stats.buffer_size]);
  const option::Parser parser(count, args.data(), options.get(), buffer.get());

  if (static_cast<std::uint32_t>(parser.occurrence_count) + 1 != stats.buffer_size) std::abort();
  if (buffer[parser.occurrence_count].is_present()) std::abort();
  for (std::int32_t i = 0; i < parser.occurrence_count; ++i) {
    const ParsedOption& stored = buffer[i];
    if (!stored.is_present()) std::abort();
    const std::uint32_t index = stored.descriptor->index;
    if (index != option::UNKNOWN && stored.argument == nullptr) std::abort();
    if (!options[index].is_present()) std::abort();
  }
  if (parser.nonoption_count < 0 || parser.nonoption_count > (count > 0 ? count : 0)) std::abort();
  if (parser.nonoption_count > 0 &&
      parser.nonoption_args + parser.nonoption_count > args.data() + args.size())
    std::abort();
  return {parser.error, parser.occurrence_count};
}

// True when `argument`, taken as an option, ends in a FLASH or SAVE option
// that has nothing left to take as its argument.
bool EndsInRequiredOption(const char* argument) {
  if (std::strcmp(argument, "--flash") == 0 || std::strcmp(argument, "--save") == 0) return true;
  if (argument[0] != '-' || argument[1] == '-') return false;
  const char* first = std::strpbrk(argument + 1, "fs");
  return first != nullptr && first[1] == '\0';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Each argument in a heap block of its own size, so that reading past its
  // NUL is reported.
  std::vector<std::unique_ptr<char[]>> storage;
  std::vector<const char*> args;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;
  for (std::size_t start = 0; start <= length && length > 0;) {
    const void* nul = std::memchr(text + start, '\0', length - start);
    const std::size_t end = nul != nullptr ? static_cast<const char*>(nul) - text : length;
    storage.emplace_back(new char[end - start + 1]);
    std::memcpy(storage.back().get(), text + start, end - start);
    storage.back()[end - start] = '\0';
    args.push_back(storage.back().get());
    start = end + 1;
  }
  const auto stored = static_cast<std::int32_t>(args.size());
  args.push_back(nullptr);
  const std::int32_t count = stored + static_cast<std::int32_t>(data[0] % 3) - 1;

  const Outcome outcome = SizeAndParse(count, args);
  if (outcome.error) {
    const std::int32_t used = count < stored ? count : stored;
    if (used <= 0 || !EndsInRequiredOption(args[used - 1])) std::abort();
    std::vector<const char*> supplied(args.begin(), args.begin() + used);
    supplied.push_back("x");
    supplied.push_back(nullptr);
    if (SizeAndParse(used + 1, supplied).error) std::abort();
  }
  return 0;
}
