// The board maker's installer records the library's path in the registry.
#include <windows.h>

#include <cstring>

#include "platform/registry.h"

namespace platform {

bool ReadRegistryString(const char* key_path, const char* value_name, char* buffer,
                        std::uint32_t buffer_size) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  DWORD size = buffer_size;
  const LONG status =
      RegQueryValueExA(key, value_name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ || size > buffer_size) return false;
  // A REG_SZ may be stored without its NUL, and the query then returns it
  // unterminated. The value counts only when it and its NUL fit.
  const std::size_t length = strnlen(buffer, size);
  if (length >= buffer_size) return false;
  buffer[length] = '\0';
  return true;
}

}  // namespace platform
