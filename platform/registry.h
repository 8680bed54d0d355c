// Reading one string value from the machine-wide registry.
#ifndef VANTREL_PLATFORM_REGISTRY_H
#define VANTREL_PLATFORM_REGISTRY_H

#include <cstdint>
#include <string>

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
// or else registry.reg in the tool's configuration folder (/etc/vantrel for
// an install under /usr, PREFIX/etc/vantrel under another prefix).
bool ReadRegistryString(const char* key_path, const char* value_name, char* buffer, std::uint32_t buffer_size,
                        std::string* why = nullptr);

}  // namespace platform

#endif
