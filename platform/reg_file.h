// The text of a .reg export, read the way importing it would apply it: the
// registry of the POSIX build (registry_posix.cpp) is such a file.
#ifndef VANTREL_PLATFORM_REG_FILE_H
#define VANTREL_PLATFORM_REG_FILE_H

#include <string>
#include <string_view>

namespace platform {

// What a .reg text says of one value after the whole text has been applied
// in order, the way importing the file would.
enum class RegValueKind {
  kAbsent,    // never set, deleted, or its key deleted
  kString,    // a quoted string; its bytes are in `RegValue::text`
  kNotString  // any other type, or a value line that cannot be read
};

struct RegValue {
  RegValueKind kind = RegValueKind::kAbsent;
  std::string text;
  bool is_reg_text = false;  // the text starts with a .reg header
  bool key_present = false;  // the key is there once the whole text is applied
};

// Looks up `value_name` (use "" for the default value "@") of the key
// `full_key` ("HKEY_LOCAL_MACHINE\\...") in the text of a .reg file. Key and
// value names compare without regard to ASCII case. A text whose first line
// is not a .reg header gives kAbsent. A UTF-16LE text (with its byte order
// mark) is read as the UTF-8 it stands for; a unit that cannot be decoded (a
// lone surrogate, an odd last byte) reads as U+FFFD, as a text editor shows it.
RegValue FindRegFileValue(std::string_view text, std::string_view full_key, std::string_view value_name);

}  // namespace platform

#endif
