// The board maker's installer records the library's path in the registry.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/registry.h"
#include "platform/system_error_win32.h"

namespace platform {

bool ReadRegistryString(const char* key_path, const char* value_name, char* buffer, std::uint32_t buffer_size,
                        std::string* why) {
  // The key path may live in `buffer`: take it before anything is written there.
  const std::string full_key = std::string("HKEY_LOCAL_MACHINE\\") + key_path;
  const std::string value_text = std::string("registry value \"") + value_name + "\" of " + full_key;
  const auto fail = [why](const std::string& reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ, &key);
  if (opened != ERROR_SUCCESS) return fail("registry key " + full_key + ": " + ErrorText(opened));
  DWORD type = 0;
  DWORD size = buffer_size;
  const LONG status =
      RegQueryValueExA(key, value_name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && size > buffer_size)) {
    return fail(value_text + " is longer than " + std::to_string(buffer_size - 1) + " bytes");
  }
  if (status != ERROR_SUCCESS) return fail(value_text + ": " + ErrorText(status));
  if (type != REG_SZ) return fail(value_text + " is not a string");
  // A REG_SZ may be stored without its NUL, and the query then returns it
  // unterminated. The value counts only when it and its NUL fit.
  const std::size_t length = strnlen(buffer, size);
  if (length >= buffer_size) {
    return fail(value_text + " is longer than " + std::to_string(buffer_size - 1) + " bytes");
  }
  buffer[length] = '\0';
  return true;
}

}  // namespace platform
