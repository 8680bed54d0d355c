// Entry of the tool: reads the command line, binds the board access library,
// lists the boards, settles which one to work with, and flashes or saves it.
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>

#include "app/board_call.h"
#include "app/board_discovery.h"
#include "app/board_selection.h"
#include "app/flash_procedure.h"
#include "app/run_ending.h"
#include "app/save_procedure.h"
#include "board/board_library.h"
#include "board/board_model_table.h"
#include "option/option_table.h"
#include "option/parser.h"
#include "option/print_usage.h"
#include "platform/console_text.h"
#include "platform/dynamic_library.h"
#include "platform/standard_streams.h"

namespace {

BoardModelTable g_board_models;
// The parse results live until the process ends.
std::unique_ptr<option::ParsedOption[]> g_options;
std::unique_ptr<option::ParsedOption[]> g_buffer;

int ShowUsage() {
  option::PrintUsageImplementation::OStreamWriter<std::ostream> writer(std::cout);
  option::PrintUsageImplementation::FormatUsage(writer, option::option_table);
  PressAnyKeyToExit();
  return kExitUsage;
}

// Ends a failed run after its last message, before any board was searched
// for: the library (if loaded) stays loaded. `why`, when there is one, goes
// to standard error: standard output keeps its one fixed line.
int FailBeforeDiscovery(const char* message, const std::string& why = std::string()) {
  std::cout << message << std::endl;
  if (!why.empty()) std::cerr << "vantrel: " << platform::ConsoleSafe(why) << std::endl;
  PressAnyKeyToExit();
  return kExitFailed;
}

int Run(int argc, char* argv[]) {
  platform::RestrictLibrarySearch();
  FillBoardModelTable(g_board_models);

  const std::int32_t count = argc > 0 ? argc - 1 : 0;
  const char* const* args = argc > 0 ? argv + 1 : argv;
  option::Stats stats;
  stats.measure(count, args);
  g_options.reset(new option::ParsedOption[stats.options_size]);
  g_buffer.reset(new option::ParsedOption[stats.buffer_size]);
  const option::Parser parser(count, args, g_options.get(), g_buffer.get());
  if (count == 0 || parser.error) return ShowUsage();

  std::string why;
  IBoardFactory* const factory = GuardedLoadBoardLibrary(&why);
  if (factory == nullptr) return FailBeforeDiscovery("BRDLINK.DLL library was not found!", why);
  m_pci = GuardedCreateInterface(*factory);
  if (m_pci == nullptr) {
    return FailBeforeDiscovery("IPLX9080 interface was not created!",
                               "the board library's factory made no board interface; the registry may "
                               "name a library that is not this board's");
  }

  std::cout << "Search for PLX9054 devices...\n";
  const std::int32_t boards = DiscoverBoards(g_board_models, std::cout);
  if (boards == 0) {
    std::cout << "No active PLX9054 devices found.\n";
    return FinishRun(kExitFailed);
  }
  const std::int32_t selected = SelectBoard(boards);
  // The first occurrence of an option counts; a flash wins over a save.
  if (g_options[option::FLASH].is_present())
    return FlashProcedure(g_options[option::FLASH].argument, selected);
  if (g_options[option::SAVE].is_present()) return SaveProcedure(g_options[option::SAVE].argument, selected);
  return FinishRun(kExitDone);
}

}  // namespace

int main(int argc, char* argv[]) {
  platform::PrepareStandardStreams();
  const int status = Run(argc, argv);
  EndBoardGuard();
  return status;
}
