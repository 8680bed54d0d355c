// A stand-in for the board maker's access library: boards, identifiers,
// EEPROM contents and the result of every operation come from a scenario
// file (see scenario.h) named by the environment variable
// VANTREL_SIMBOARD_SCENARIO, and every call is appended to a journal.
//
// The binary interface is written out by hand here, as a library built by
// another compiler sees it: an exported object StaticFactory whose first word
// points at a table of functions, the interface likewise, every function
// taking the object first and using __stdcall on 32-bit Windows.
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

#include "board_libraries/simboard/scenario.h"

#if defined(_WIN32)
#define SIMBOARD_EXPORT __attribute__((dllexport))
#else
#define SIMBOARD_EXPORT __attribute__((visibility("default")))
#endif
#if defined(_WIN32) && !defined(_WIN64) && defined(SIMBOARD_CDECL)
#define SIMBOARD_CALL __cdecl
#elif defined(_WIN32) && !defined(_WIN64)
#define SIMBOARD_CALL __stdcall
#else
#define SIMBOARD_CALL
#endif

namespace {

using simboard::kImageSize;
using simboard::Scenario;
using simboard::SimulatedBoard;

struct Image {
  unsigned char bytes[kImageSize];
};

struct Interface;
struct InterfaceTable {
  void(SIMBOARD_CALL* reserved1)(Interface*);
  void(SIMBOARD_CALL* reserved2)(Interface*);
  std::int32_t(SIMBOARD_CALL* init_device)(Interface*, const char*, std::int32_t);
  std::int32_t(SIMBOARD_CALL* query_board_id)(Interface*, std::int32_t);
  std::int32_t(SIMBOARD_CALL* read_flash)(Interface*, unsigned char*);
  std::int32_t(SIMBOARD_CALL* write_flash)(Interface*, Image);
};
struct Interface {
  const InterfaceTable* table;
};

// The scenario file's path, or null. The variable's old name still counts
// where the new one is not set.
const char* ScenarioPath() {
  const char* path = std::getenv("VANTREL_SIMBOARD_SCENARIO");
  return path != nullptr ? path : std::getenv("VANTREL_SIMBOARD_BENCH");
}

Scenario& TheScenario() {
  static Scenario scenario = [] {
    const char* path = ScenarioPath();
    if (path == nullptr || *path == '\0') return simboard::DefaultScenario();
    std::string text;
    if (FILE* file = std::fopen(path, "rb")) {
      char chunk[4096];
      std::size_t got = 0;
      while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
      std::fclose(file);
    } else {
      std::fprintf(stderr, "simboard: cannot read the scenario %s\n", path);
      std::abort();
    }
    Scenario parsed;
    std::string error;
    if (!simboard::ParseScenario(text, parsed, error)) {
      std::fprintf(stderr, "simboard: cannot read this scenario line: %s\n", error.c_str());
      std::abort();
    }
    return parsed;
  }();
  return scenario;
}

void Journal(const char* format, ...) {
  const std::string& path = TheScenario().journal_path;
  if (path.empty()) return;
  FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return;
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(file, format, arguments);
  va_end(arguments);
  std::fputc('\n', file);
  std::fclose(file);
}

// Recurses until the stack runs out; the flag keeps the compiler from
// seeing that it never ends.
volatile bool g_keep_recursing = true;
int Recurse(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  return g_keep_recursing ? Recurse(depth + 1) + frame[0] : frame[0];
}

// Crashes (or ends the process) in the way `kind` names.
void CrashNow(simboard::Crash kind) {
  switch (kind) {
    case simboard::Crash::kAccess: {
      // Not null, so that a sanitizer's null check lets the fault itself
      // happen; read at run time, so that the compiler sees no fixed address.
      volatile std::uintptr_t address = 16;
      *reinterpret_cast<volatile int*>(address) = 1;
      break;
    }
    case simboard::Crash::kException:
      throw std::runtime_error("simulated board failure");
    case simboard::Crash::kCode:
#if defined(_WIN32)
      RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr);
#else
      __builtin_trap();
#endif
      break;
    case simboard::Crash::kStack:
      Recurse(0);
      break;
    case simboard::Crash::kExit:
      std::exit(0);
    case simboard::Crash::kExitProcess:
#if defined(_WIN32)
      ExitProcess(0);
#else
      std::_Exit(0);
#endif
    case simboard::Crash::kQuickExit:
#if defined(_WIN32)
      std::exit(0);  // MinGW's C runtime has no quick_exit; the case is POSIX's
#else
      std::quick_exit(0);
#endif
    case simboard::Crash::kTrap:
#if defined(_WIN32)
      DebugBreak();
#else
      __asm__ volatile("int3");
#endif
      break;
    case simboard::Crash::kBadSystemCall:
#if defined(SIGSYS)
      std::raise(SIGSYS);
#endif
      break;
    case simboard::Crash::kNone:
      break;
  }
}

// The library's own thread: it waits for the trigger file, then crashes or
// ends the process, whatever the program is doing by then.
#if defined(_WIN32)
DWORD WINAPI RunThread(void*) {
  const Scenario& scenario = TheScenario();
  while (GetFileAttributesA(scenario.thread_trigger.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(2);
  CrashNow(scenario.thread_crash);
  return 0;
}
#else
void* RunThread(void*) {
  const Scenario& scenario = TheScenario();
  while (::access(scenario.thread_trigger.c_str(), F_OK) != 0) ::usleep(2000);
  CrashNow(scenario.thread_crash);
  return nullptr;
}
#endif

void StartThreadIfAsked(const char* operation) {
  static bool started = false;
  const Scenario& scenario = TheScenario();
  if (started || scenario.thread_crash == simboard::Crash::kNone || scenario.thread_operation != operation)
    return;
  started = true;
#if defined(_WIN32)
  const HANDLE thread = CreateThread(nullptr, 0, RunThread, nullptr, 0, nullptr);
  if (thread != nullptr) CloseHandle(thread);
#else
  pthread_t thread;
  if (pthread_create(&thread, nullptr, RunThread, nullptr) == 0) pthread_detach(thread);
#endif
}

#if defined(_WIN32)
HANDLE OpenConsole(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

// A key held down: its key-down record and two repeats, no key-up.
void HoldKeyIfAsked(const char* operation) {
  const Scenario& scenario = TheScenario();
  if (scenario.held_key_operation != operation) return;
  const HANDLE input = OpenConsole("CONIN$");
  if (input == INVALID_HANDLE_VALUE) return;
  INPUT_RECORD records[3] = {};
  for (INPUT_RECORD& record : records) {
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = TRUE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = static_cast<WORD>(scenario.held_key);
    record.Event.KeyEvent.wVirtualScanCode = static_cast<WORD>(MapVirtualKeyA(scenario.held_key, 0));
    record.Event.KeyEvent.uChar.UnicodeChar = static_cast<WCHAR>(MapVirtualKeyA(scenario.held_key, 2));
  }
  DWORD written = 0;
  WriteConsoleInputW(input, records, 3, &written);
  Journal("%s holds key 0x%x down", operation, scenario.held_key);
  CloseHandle(input);
}

// What the operator sees on the console when `operation` starts: the text
// of the screen's lines up to the cursor, trailing blanks cut.
void CopyScreenIfAsked(const char* operation) {
  const Scenario& scenario = TheScenario();
  if (scenario.screen_path.empty() || std::strcmp(operation, "WriteFlash") != 0) return;
  const HANDLE screen = OpenConsole("CONOUT$");
  CONSOLE_SCREEN_BUFFER_INFO info = {};
  std::string text;
  if (screen != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(screen, &info)) {
    for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
      std::string line(static_cast<std::size_t>(info.dwSize.X), ' ');
      DWORD read = 0;
      ReadConsoleOutputCharacterA(screen, &line[0], static_cast<DWORD>(line.size()), COORD{0, row}, &read);
      line.resize(line.find_last_not_of(' ') + 1);
      text += line + "\n";
    }
  }
  if (screen != INVALID_HANDLE_VALUE) CloseHandle(screen);
  if (FILE* file = std::fopen(scenario.screen_path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
}
#else
void HoldKeyIfAsked(const char*) {}
void CopyScreenIfAsked(const char*) {}
#endif

// What the scenario asks of `operation` as it starts: the library's thread
// started, a key held down or the screen copied (Windows), and then the
// crash, the journal showing how far the call got.
void BeginOperation(const char* operation) {
  StartThreadIfAsked(operation);
  HoldKeyIfAsked(operation);
  CopyScreenIfAsked(operation);
  const Scenario& scenario = TheScenario();
  if (scenario.crash == simboard::Crash::kNone || scenario.crash_operation != operation) return;
  Journal("%s crashes", operation);
  CrashNow(scenario.crash);
}

// The library's initialiser and finaliser, which run as it is loaded and
// unloaded: a library's static objects do the same. A scenario that cannot be
// read is left for the first call to report. The unload sees only what
// the load noted: the scenario itself may be gone by then.
simboard::Crash g_crash_at_unload = simboard::Crash::kNone;
char g_unload_journal[4096];

__attribute__((constructor)) void OnLoad() {
  const char* path = ScenarioPath();
  FILE* file = path == nullptr || *path == '\0' ? nullptr : std::fopen(path, "rb");
  if (file == nullptr) return;
  std::fclose(file);
  BeginOperation("load");
  const Scenario& scenario = TheScenario();
  if (scenario.crash_operation != "unload") return;
  g_crash_at_unload = scenario.crash;
  std::snprintf(g_unload_journal, sizeof g_unload_journal, "%s", scenario.journal_path.c_str());
}

__attribute__((destructor)) void OnUnload() {
  if (g_crash_at_unload == simboard::Crash::kNone) return;
  if (FILE* journal = g_unload_journal[0] == '\0' ? nullptr : std::fopen(g_unload_journal, "ab")) {
    std::fputs("unload crashes\n", journal);
    std::fclose(journal);
  }
  CrashNow(g_crash_at_unload);
}

// A plausible configuration, told apart by the board number: PLX9054 device
// and a made-up vendor, memory space 0 of 1 MB, the board number in the
// subsystem ID and the Extra text. Register order.
void FillDefaultImage(std::int32_t number, unsigned char* image) {
  auto put16 = [image](int offset, std::uint32_t value) {
    image[offset] = static_cast<unsigned char>(value);
    image[offset + 1] = static_cast<unsigned char>(value >> 8);
  };
  auto put32 = [&put16](int offset, std::uint32_t value) {
    put16(offset, value & 0xFFFF);
    put16(offset + 2, value >> 16);
  };
  std::memset(image, 0, kImageSize);
  put16(0, 0x9054);
  put16(2, 0x1E4A);
  put16(4, 0x0680);
  put16(6, 0x0001);
  put16(10, 0x0100);
  put32(20, 0xFFF00000);
  put32(24, 0x00000001);
  put32(28, 0x00200000);
  put32(44, 0x40030143);
  put16(68, 0x3100 + static_cast<std::uint32_t>(number));
  put16(70, 0x1E4A);
  std::snprintf(reinterpret_cast<char*>(image + 88), 40, "simulated board %d", static_cast<int>(number));
}

unsigned char* ImageOf(std::int32_t number, SimulatedBoard& board) {
  if (!board.image_loaded) {
    FillDefaultImage(number, board.image);
    if (!board.eeprom_path.empty()) {
      if (FILE* file = std::fopen(board.eeprom_path.c_str(), "rb")) {
        const std::size_t got = std::fread(board.image, 1, kImageSize, file);
        static_cast<void>(got);
        std::fclose(file);
      }
    }
    board.image_loaded = true;
  }
  return board.image;
}

std::int32_t g_current_board = 0;

SimulatedBoard* CurrentBoard() {
  const auto found = TheScenario().boards.find(g_current_board);
  return found == TheScenario().boards.end() ? nullptr : &found->second;
}

void SIMBOARD_CALL Reserved1(Interface*) { Journal("Reserved1()"); }
void SIMBOARD_CALL Reserved2(Interface*) { Journal("Reserved2()"); }

std::int32_t SIMBOARD_CALL InitDevice(Interface*, const char* name, std::int32_t number) {
  BeginOperation("InitDevice");
  std::int32_t result = 0;
  const auto found = TheScenario().boards.find(number);
  if (found != TheScenario().boards.end()) {
    SimulatedBoard& board = found->second;
    const std::size_t call = board.init_calls++;
    result = board.init_results[call < board.init_results.size() ? call : board.init_results.size() - 1];
  }
  if (result > 0) g_current_board = number;
  Journal("InitDevice(\"%s\", %d) = %d", name, static_cast<int>(number), static_cast<int>(result));
  return result;
}

std::int32_t SIMBOARD_CALL QueryBoardId(Interface*, std::int32_t selector) {
  BeginOperation("QueryBoardId");
  const SimulatedBoard* board = CurrentBoard();
  const std::uint32_t id = selector == 5 && board != nullptr ? board->id : 0;
  Journal("QueryBoardId(%d) = 0x%lx", static_cast<int>(selector), static_cast<unsigned long>(id));
  return static_cast<std::int32_t>(id);
}

std::int32_t SIMBOARD_CALL ReadFlash(Interface*, unsigned char* buffer) {
  BeginOperation("ReadFlash");
  SimulatedBoard* board = CurrentBoard();
  const std::int32_t result = board != nullptr ? board->read_result : 0;
  if (result == 1) std::memcpy(buffer, ImageOf(g_current_board, *board), kImageSize);
  Journal("ReadFlash(board %d) = %d", static_cast<int>(g_current_board), static_cast<int>(result));
  return result;
}

std::int32_t SIMBOARD_CALL WriteFlash(Interface*, Image image) {
  BeginOperation("WriteFlash");
  SimulatedBoard* board = CurrentBoard();
  const std::int32_t result = board != nullptr ? board->write_result : 0;
  if (result == 64) {
    std::memcpy(ImageOf(g_current_board, *board), image.bytes, kImageSize);
    if (!board->eeprom_path.empty()) {
      if (FILE* file = std::fopen(board->eeprom_path.c_str(), "wb")) {
        std::fwrite(image.bytes, 1, kImageSize, file);
        std::fclose(file);
      }
    }
  }
  char hex[2 * kImageSize + 1];
  for (int i = 0; i < kImageSize; ++i) std::snprintf(hex + 2 * i, 3, "%02x", image.bytes[i]);
  Journal("WriteFlash(board %d, %s) = %d", static_cast<int>(g_current_board), hex, static_cast<int>(result));
  return result;
}

const InterfaceTable kInterfaceTable = {Reserved1,    Reserved2, InitDevice,
                                        QueryBoardId, ReadFlash, WriteFlash};
Interface g_interface = {&kInterfaceTable};

struct Factory;
struct FactoryTable {
  Interface*(SIMBOARD_CALL* create_interface)(Factory*, const char*, std::int32_t);
};
struct Factory {
  const FactoryTable* table;
};

Interface* SIMBOARD_CALL CreateInterface(Factory*, const char* name, std::int32_t version) {
  BeginOperation("CreateInterface");
  const bool create = !TheScenario().null_factory && std::strcmp(name, "IPLX9080") == 0;
  // Kept open for the whole run; it takes the lowest free descriptor.
  if (!TheScenario().held_path.empty()) static_cast<void>(std::fopen(TheScenario().held_path.c_str(), "rb"));
  Journal("CreateInterface(\"%s\", %d) = %s", name, static_cast<int>(version), create ? "interface" : "null");
  return create ? &g_interface : nullptr;
}

const FactoryTable kFactoryTable = {CreateInterface};

}  // namespace

#ifdef SIMBOARD_DEPENDENCY
// From simdep.dll, which Windows finds when it loads this library.
extern "C" __attribute__((dllimport)) const char* SimDependencyName();
#endif

namespace {

// Marks in the journal that the library was loaded at all (and, for the
// build with a dependency, which copy of it was loaded along).
struct LoadMark {
  LoadMark() {
    Journal("load");
#ifdef SIMBOARD_DEPENDENCY
    Journal("dependency: %s", SimDependencyName());
#endif
  }
} g_load_mark;

}  // namespace

extern "C" SIMBOARD_EXPORT Factory StaticFactory;
Factory StaticFactory = {&kFactoryTable};
