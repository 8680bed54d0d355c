// Reading one string value from the machine-wide registry.
#ifndef VANTREL_PLATFORM_REGISTRY_H
#define VANTREL_PLATFORM_REGISTRY_H

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Reads the string value `value_name` of the key `key_path` (relative to
// HKEY_LOCAL_MACHINE, parts joined by backslashes) into `buffer` and ends it
// with a NUL. `key_path` may point into `buffer` itself.
//
// Returns false when the key or the value is missing, the value is not a
// string, or the value does not fit into `buffer_size` bytes together with its
// terminating NUL; nothing is ever written past `buffer_size` bytes. On
// failure, `why` (when given) receives one line for the operator saying which.
//
// Windows reads the system registry. Elsewhere the registry is a text file in
// the .reg export format, named by the environment variable VANTREL_REGISTRY
// or else /etc/vantrel/registry.reg.
bool ReadRegistryString(const char* key_path, const char* value_name, char* buffer, std::uint32_t buffer_size,
                        std::string* why = nullptr);

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
