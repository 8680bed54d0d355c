// Fuzzes the usage layout over arbitrary tables of help texts. The input is
// the help texts separated by NUL bytes; a text that is the single byte 0x01
// stands for a table break instead.
//
// Checked: no crash and no read past a text (each lives in a heap block of
// exactly its size); and where the layout promises 80 columns, no output line
// is wider. The promise holds for a table when the widest cell lines of the
// columns left of its last column add up to at most 78 (every such cell is
// written whole inside its column and the last column keeps room for at least
// two); free-text rows and the last column are wrapped. That sum is taken here
// over every cell line of those columns, which can only make it larger.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "option/option_table.h"
#include "option/print_usage.h"

namespace {

using Layout = option::PrintUsageImplementation;

struct StringWriter final : Layout::IStringWriter {
  void write(const char* str, std::int32_t size) override {
    if (size < 0) std::abort();
    text.append(str, static_cast<std::size_t>(size));
  }
  std::string text;
};

int ScreenWidth(const char* text, std::size_t length) {
  int width = 0;
  for (std::size_t at = 0; at < length;) {
    const Layout::Character character = Layout::ReadCharacter(text + at, static_cast<int>(length - at));
    at += static_cast<std::size_t>(character.bytes);
    width += character.width;
  }
  return width;
}

// Whether the layout promises 80 columns for the rows in [first, last).
bool PromisesEightyColumns(const std::vector<const char*>& texts, std::size_t first, std::size_t last) {
  int widest[Layout::kMaxColumns] = {};
  int last_column = 0;
  for (std::size_t i = first; i < last; ++i) {
    const char* text = texts[i];
    int column = 0;
    const char* line = text;
    for (const char* at = text;; ++at) {
      if (*at == '\t' || *at == '\v' || *at == '\n' || *at == '\0') {
        if (column < Layout::kMaxColumns) {
          const int width = ScreenWidth(line, static_cast<std::size_t>(at - line));
          if (width > widest[column]) widest[column] = width;
          if (column > last_column) last_column = column;
        }
        if (*at == '\t') ++column;
        if (*at == '\n') column = 0;
        if (*at == '\0') break;
        line = at + 1;
      }
    }
  }
  long left = 0;
  for (int column = 0; column < last_column; ++column) left += widest[column];
  return left <= Layout::kLineWidth - Layout::kLeastWrapWidth;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::unique_ptr<char[]>> storage;
  std::vector<option::OptionDescriptor> table;
  std::vector<const char*> texts;
  std::vector<std::size_t> breaks;
  const char* input = reinterpret_cast<const char*>(data);
  for (std::size_t start = 0; start < size;) {
    const void* nul = std::memchr(input + start, '\0', size - start);
    const std::size_t end = nul != nullptr ? static_cast<const char*>(nul) - input : size;
    if (end - start == 1 && input[start] == '\x01') {
      table.push_back({option::UNKNOWN, 0, "", "", option::check_none, nullptr});
      breaks.push_back(texts.size());
    } else {
      storage.emplace_back(new char[end - start + 1]);
      std::memcpy(storage.back().get(), input + start, end - start);
      storage.back()[end - start] = '\0';
      table.push_back({option::UNKNOWN, 0, "", "", option::check_none, storage.back().get()});
      texts.push_back(storage.back().get());
    }
    start = end + 1;
  }
  table.push_back({0, 0, nullptr, nullptr, nullptr, nullptr});

  StringWriter writer;
  Layout::FormatUsage(writer, table.data());

  breaks.push_back(texts.size());
  std::size_t first = 0;
  for (const std::size_t last : breaks) {
    if (!PromisesEightyColumns(texts, first, last)) return 0;
    first = last;
  }
  const std::string& out = writer.text;
  for (std::size_t start = 0; start < out.size();) {
    std::size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    if (ScreenWidth(out.data() + start, end - start) > Layout::kLineWidth) std::abort();
    start = end + 1;
  }
  return 0;
}
