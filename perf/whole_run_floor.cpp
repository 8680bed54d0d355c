// The least a save run must do, for comparison with the whole program: load
// the board library, create the interface, open board 1, ask its identifier,
// read its EEPROM and write the 128 bytes into a file. No registry, no
// listing, no report, no replacing write.
//
//   whole_run_floor LIBRARY FILE
#include <cstdio>

#include "board/board_interface.h"
#include "platform/dynamic_library.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: whole_run_floor LIBRARY FILE\n");
    return 2;
  }
  platform::LibraryHandle library = platform::LoadDynamicLibrary(argv[1]);
  if (library == nullptr) return 1;
  auto* factory = static_cast<IBoardFactory*>(platform::FindLibrarySymbol(library, "StaticFactory"));
  IPLX9080* board = factory != nullptr ? factory->CreateInterface("IPLX9080", 0) : nullptr;
  if (board == nullptr || board->InitDevice("", 1) <= 0) return 1;
  const std::int32_t id = board->QueryBoardId(5);
  EepromImage image{};
  if (board->ReadFlash(&image) != kReadFlashDone) return 1;

  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) return 1;
  const bool written = std::fwrite(image.bytes, 1, sizeof image.bytes, file) == sizeof image.bytes;
  const bool closed = std::fclose(file) == 0;
  platform::FreeDynamicLibrary(library);
  return written && closed && id != -1 ? 0 : 1;
}
