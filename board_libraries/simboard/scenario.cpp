#include "board_libraries/simboard/scenario.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace simboard {
namespace {

bool ParseNumber(const std::string& text, long long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 0);
  return errno == 0 && *end == '\0';
}

bool ParseResult(const std::string& text, std::int32_t& result) {
  long long value = 0;
  if (!ParseNumber(text, value) || value < INT32_MIN || value > INT32_MAX) return false;
  result = static_cast<std::int32_t>(value);
  return true;
}

bool ParseSetting(const std::string& setting, SimulatedBoard& board) {
  const std::size_t equals = setting.find('=');
  if (equals == std::string::npos) return false;
  const std::string key = setting.substr(0, equals);
  const std::string value = setting.substr(equals + 1);
  if (key == "id") {
    long long id = 0;
    if (!ParseNumber(value, id) || id < 0 || id > 0xFFFFFFFFLL) return false;
    board.id = static_cast<std::uint32_t>(id);
    return true;
  }
  if (key == "init") {
    board.init_results.clear();
    std::istringstream list(value);
    std::string item;
    while (std::getline(list, item, ',')) {
      std::int32_t result = 0;
      if (!ParseResult(item, result)) return false;
      board.init_results.push_back(result);
    }
    return !board.init_results.empty();
  }
  if (key == "read") return ParseResult(value, board.read_result);
  if (key == "write") return ParseResult(value, board.write_result);
  if (key == "eeprom") {
    board.eeprom_path = value;
    return !value.empty();
  }
  return false;
}

Crash CrashOfName(const std::string& kind) {
  return kind == "access"        ? Crash::kAccess
         : kind == "exception"   ? Crash::kException
         : kind == "code"        ? Crash::kCode
         : kind == "stack"       ? Crash::kStack
         : kind == "exit"        ? Crash::kExit
         : kind == "exitprocess" ? Crash::kExitProcess
         : kind == "quickexit"   ? Crash::kQuickExit
         : kind == "trap"        ? Crash::kTrap
         : kind == "sigsys"      ? Crash::kBadSystemCall
                                 : Crash::kNone;
}

bool ParseBoardLine(std::istringstream& fields, Scenario& scenario) {
  std::string numbers;
  fields >> numbers;
  const std::size_t dash = numbers.find('-');
  long long first = 0;
  long long last = 0;
  if (!ParseNumber(numbers.substr(0, dash), first)) return false;
  last = first;
  if (dash != std::string::npos && !ParseNumber(numbers.substr(dash + 1), last)) return false;
  if (first < 1 || last < first || last > INT32_MAX) return false;

  SimulatedBoard board;
  std::string setting;
  while (fields >> setting) {
    if (!ParseSetting(setting, board)) return false;
  }
  for (long long number = first; number <= last; ++number) {
    scenario.boards[static_cast<std::int32_t>(number)] = board;
  }
  return true;
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string keyword;
    if (!(fields >> keyword) || keyword[0] == '#') continue;
    bool ok = false;
    if (keyword == "journal") {
      ok = static_cast<bool>(fields >> scenario.journal_path);
    } else if (keyword == "factory") {
      std::string value;
      ok = (fields >> value) && value == "null";
      scenario.null_factory = ok;
    } else if (keyword == "crash") {
      std::string kind;
      ok = static_cast<bool>(fields >> scenario.crash_operation >> kind);
      scenario.crash = CrashOfName(kind);
      ok = ok && scenario.crash != Crash::kNone;
    } else if (keyword == "thread") {
      std::string kind;
      ok = static_cast<bool>(fields >> scenario.thread_operation >> kind >> scenario.thread_trigger);
      scenario.thread_crash = CrashOfName(kind);
      ok = ok && scenario.thread_crash != Crash::kNone;
    } else if (keyword == "held") {
      std::string key;
      ok = static_cast<bool>(fields >> scenario.held_key_operation >> key);
      char* end = nullptr;
      scenario.held_key = static_cast<unsigned>(std::strtoul(key.c_str(), &end, 0));
      ok = ok && !key.empty() && *end == '\0';
    } else if (keyword == "screen") {
      ok = static_cast<bool>(fields >> scenario.screen_path);
    } else if (keyword == "hold") {
      ok = static_cast<bool>(fields >> scenario.held_path);
    } else if (keyword == "board") {
      ok = ParseBoardLine(fields, scenario);
    }
    if (!ok) {
      error = line;
      return false;
    }
  }
  return true;
}

Scenario DefaultScenario() {
  Scenario scenario;
  scenario.boards[1].id = 0x02014C31;
  scenario.boards[2].id = 0x020152A7;
  return scenario;
}

}  // namespace simboard
