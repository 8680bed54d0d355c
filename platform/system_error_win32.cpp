#include "platform/system_error_win32.h"

namespace platform {

std::string ErrorText(DWORD error, const std::string& object) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  for (char& c : message) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  // Inserts are left as they are (%1, %2...): the system cannot know them.
  for (std::size_t at = message.find('%'); at != std::string::npos; at = message.find('%', at)) {
    std::size_t end = at + 1;
    while (end < message.size() && message[end] >= '0' && message[end] <= '9') ++end;
    if (end == at + 1) {
      ++at;
      continue;
    }
    if (!object.empty()) {
      message.replace(at, end - at, object);
      at += object.size();
    } else {
      const std::size_t from = at > 0 && message[at - 1] == ' ' ? at - 1 : at;
      message.erase(from, end - from);
      at = from;
    }
  }
  while (!message.empty() && message.back() == ' ') message.pop_back();
  if (!message.empty()) message += ' ';
  return message + "(error " + std::to_string(error) + ")";
}

}  // namespace platform
