// The scenario of the simulated boards: which boards answer, what they report
// and how each of their operations ends. Read from a small text file:
//
//   # comment
//   journal /tmp/run/journal.txt      every call is appended here
//   factory null                      CreateInterface answers null
//   hold /tmp/run/keys.txt            CreateInterface opens this file and keeps it
//                                     open, as a library holding a device would
//   crash WriteFlash access           the operation crashes (see Crash); load and
//                                     unload stand for the library's initialiser
//                                     and finaliser
//   thread InitDevice exit /tmp/go    InitDevice starts a thread that crashes (or
//                                     ends the process) once /tmp/go exists
//   held InitDevice 0x0d              (Windows) InitDevice puts three key-down
//                                     records of this virtual key on the console
//                                     and no key-up: a key held down
//   screen /tmp/run/screen.txt        (Windows) WriteFlash first copies the text
//                                     on the console's screen here
//   board 1 id=0x02014c31 eeprom=/tmp/run/board1.bin
//   board 2 id=0x020152a7 init=1,0 read=0 write=1
//   board 3-40 id=0
//
// A board line takes a number or a range of numbers and these settings:
//   id=N       what QueryBoardId(5) reports (default 0)
//   init=A,B   the results of successive InitDevice calls; the last repeats (default 1)
//   read=N     the result of ReadFlash (default 1; the image is copied only on 1)
//   write=N    the result of WriteFlash (default 64; the image is kept only on 64)
//   eeprom=P   file holding the EEPROM in register order; read when it exists,
//              written by a kept WriteFlash (default: an image in memory)
// Numbers may be decimal or 0x hexadecimal. Board numbers that no line names
// do not answer.
#ifndef VANTREL_SIMBOARD_SCENARIO_H
#define VANTREL_SIMBOARD_SCENARIO_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace simboard {

constexpr int kImageSize = 128;

struct SimulatedBoard {
  std::uint32_t id = 0;
  std::vector<std::int32_t> init_results{1};
  std::size_t init_calls = 0;
  std::int32_t read_result = 1;
  std::int32_t write_result = 64;
  std::string eeprom_path;
  bool image_loaded = false;
  unsigned char image[kImageSize] = {};
};

// How a crashing operation crashes: a write to an address nothing is mapped
// at, a C++ exception nobody catches, (Windows) the exception code an
// MSVC-built library's C++ throw raises, elsewhere an illegal instruction,
// a recursion that overflows the stack, or exit(0) (not a crash, but as
// sudden an end).
// On Windows, ExitProcess(0) too (elsewhere _Exit(0), which nothing can
// see). quick_exit(0); a breakpoint trap (int3: SIGTRAP); a bad system call
// (SIGSYS, as a seccomp filter's trap action raises it).
enum class Crash {
  kNone,
  kAccess,
  kException,
  kCode,
  kStack,
  kExit,
  kExitProcess,
  kQuickExit,
  kTrap,
  kBadSystemCall
};

struct Scenario {
  std::string journal_path;
  bool null_factory = false;
  std::string held_path;
  std::string
      crash_operation;  // load, CreateInterface, InitDevice, QueryBoardId, ReadFlash, WriteFlash, unload
  Crash crash = Crash::kNone;
  // A thread the library starts in `thread_operation` that crashes (or ends
  // the process) as `thread_crash` says once the file `thread_trigger`
  // exists.
  std::string thread_operation;
  Crash thread_crash = Crash::kNone;
  std::string thread_trigger;
  std::string held_key_operation;
  unsigned held_key = 0;
  std::string screen_path;
  std::map<std::int32_t, SimulatedBoard> boards;
};

// Parses a scenario description. On a line it cannot read, returns false with
// the line in `error`.
bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error);

// Two boards of known models, for runs that name no scenario.
Scenario DefaultScenario();

}  // namespace simboard

#endif
