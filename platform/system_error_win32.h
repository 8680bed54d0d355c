// Windows error codes as the system words them, for messages to the operator.
#ifndef VANTREL_PLATFORM_SYSTEM_ERROR_WIN32_H
#define VANTREL_PLATFORM_SYSTEM_ERROR_WIN32_H

#include <windows.h>

#include <string>

namespace platform {

// The system's text for `error` (a GetLastError or registry code) on one line,
// followed by the code itself: "The specified module could not be found.
// (error 126)". Some texts name the object they are about with an insert
// ("Bad EXE format for %1."): `object` takes its place, "" leaves "%1" out
// with the space before it.
std::string ErrorText(DWORD error, const std::string& object = std::string());

}  // namespace platform

#endif
