// Reader for the text form of the registry that regedit exports and imports:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Some\Key]
//   "name"="C:\\path\\with \"quotes\""
//   "number"=dword:00000001
//   "blob"=hex:01,02,03,04
//
// Long hex data goes on over several lines, each but the last ending in a
// backslash.
//
// The file is applied line by line as an import would: a later line for the
// same value wins, "name"=- deletes the value, and [-KEY] deletes a key with
// everything below it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/reg_file.h"

namespace platform {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  return line;
}

void AppendUtf8(std::uint32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// regedit writes its exports as UTF-16LE; the rest of the reader works on
// 8-bit text. A unit that is not part of a character (a lone surrogate, an
// odd byte at the end) becomes U+FFFD and the rest of the text still counts:
// one broken character in a comment must not hide the whole file.
std::string Utf16LeToUtf8(std::string_view bytes) {
  constexpr std::uint32_t kReplacement = 0xFFFD;
  std::string out;
  out.reserve(bytes.size() / 2);
  auto unit_at = [&bytes](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
  };
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    std::uint32_t code = unit_at(i);
    if (code >= 0xDC00 && code <= 0xDFFF) {
      code = kReplacement;
    } else if (code >= 0xD800 && code <= 0xDBFF) {
      const std::uint32_t low = i + 3 < bytes.size() ? unit_at(i + 2) : 0;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        code = kReplacement;
      }
    }
    AppendUtf8(code, out);
  }
  if (i < bytes.size()) AppendUtf8(kReplacement, out);
  return out;
}

// Reads a quoted string at the start of `rest` ("..." with \\ and \" as the
// only escapes) into `out` and moves `rest` past the closing quote.
bool TakeQuoted(std::string_view& rest, std::string& out) {
  if (rest.empty() || rest.front() != '"') return false;
  for (std::size_t i = 1; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '"') {
      rest.remove_prefix(i + 1);
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= rest.size() || (rest[i + 1] != '\\' && rest[i + 1] != '"')) return false;
      out += rest[++i];
      continue;
    }
    out += c;
  }
  return false;
}

// The value a data part ("...", -, dword:..., hex:..., hex(N):...) sets.
RegValue ReadData(std::string_view data) {
  RegValue value;
  if (data == "-") return value;
  value.kind = RegValueKind::kNotString;
  if (!data.empty() && data.front() == '"') {
    std::string text;
    if (TakeQuoted(data, text) && Trim(data).empty()) {
      value.kind = RegValueKind::kString;
      value.text = std::move(text);
    }
  }
  return value;
}

// hex:..., hex(N):...: the one kind of data that may go on over lines.
bool IsHexData(std::string_view data) { return StartsWithIgnoringCase(data, "hex"); }

// A key deletion [-KEY] removes KEY and every key below it.
bool DeletionCovers(std::string_view deleted, std::string_view key) {
  if (EqualsIgnoringCase(deleted, key)) return true;
  return key.size() > deleted.size() && key[deleted.size()] == '\\' && StartsWithIgnoringCase(key, deleted);
}

}  // namespace

RegValue FindRegFileValue(std::string_view text, std::string_view full_key, std::string_view value_name) {
  std::string decoded;
  if (text.size() >= 2 && text[0] == '\xFF' && text[1] == '\xFE') {
    decoded = Utf16LeToUtf8(text.substr(2));
    text = decoded;
  } else if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }

  RegValue found;
  bool key_present = false;
  bool in_key = false;
  bool continued = false;
  bool first_line = true;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

    if (first_line) {
      if (line != "Windows Registry Editor Version 5.00" && line != "REGEDIT4") return {};
      first_line = false;
      continue;
    }
    // Long hex data goes on over lines that end in a backslash; nothing else
    // does (a comment ending in one does not swallow the next line).
    const bool was_continued = continued;
    continued = was_continued && !line.empty() && line.back() == '\\';
    if (was_continued || line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      std::string_view name = line.substr(1);
      in_key = false;
      if (name.empty() || name.back() != ']') continue;
      name.remove_suffix(1);
      if (!name.empty() && name.front() == '-') {
        if (DeletionCovers(name.substr(1), full_key)) found = RegValue{}, key_present = false;
      } else {
        in_key = EqualsIgnoringCase(name, full_key);
        key_present = key_present || in_key;
      }
      continue;
    }
    std::string_view rest = line;
    std::string name;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (!TakeQuoted(rest, name)) {
      continue;
    }
    rest = Trim(rest);
    const bool assigns = !rest.empty() && rest.front() == '=';
    const std::string_view data = assigns ? Trim(rest.substr(1)) : std::string_view();
    continued = IsHexData(data) && data.back() == '\\';
    if (!in_key || !EqualsIgnoringCase(name, value_name)) continue;
    found = assigns ? ReadData(data) : RegValue{RegValueKind::kNotString, {}};
  }
  found.is_reg_text = !first_line;
  found.key_present = key_present;
  return found;
}

}  // namespace platform
