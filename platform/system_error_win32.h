// Windows error codes as the system words them, for messages to the operator.
#ifndef VANTREL_PLATFORM_SYSTEM_ERROR_WIN32_H
#define VANTREL_PLATFORM_SYSTEM_ERROR_WIN32_H

#include <windows.h>

#include <string>

namespace platform {

// The system's text for `error` (a GetLastError or registry code) on one line,
// followed by the code itself: "The specified module could not be found.
// (error 126)".
std::string ErrorText(DWORD error);

}  // namespace platform

#endif
