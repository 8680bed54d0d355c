#include "platform/system_error_win32.h"

namespace platform {

std::string ErrorText(DWORD error) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  for (char& c : message) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  while (!message.empty() && message.back() == ' ') message.pop_back();
  if (!message.empty()) message += ' ';
  return message + "(error " + std::to_string(error) + ")";
}

}  // namespace platform
