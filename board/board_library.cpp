#include "board/board_library.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/registry.h"

BoardLibrary g_board_library;
IPLX9080* m_pci = nullptr;

namespace {

constexpr std::uint32_t kRegistryBufferSize = 256;
constexpr const char* kKeyParts[] = {"SOFTWARE", "Quenby", "Ferrule", "1.0", "PLX9080"};

}  // namespace

IBoardFactory* LoadBoardLibrary(std::string* why) {
  UnloadBoardLibrary();

  // The key path is built in the buffer that then receives the value.
  char buffer[kRegistryBufferSize] = {};
  std::size_t used = 0;
  for (const char* part : kKeyParts) {
    if (used != 0) buffer[used++] = '\\';
    const std::size_t length = std::strlen(part);
    std::memcpy(buffer + used, part, length);
    used += length;
  }
  if (!platform::ReadRegistryString(buffer, "path", buffer, kRegistryBufferSize, why)) return nullptr;
  return LoadBoardLibraryFrom(buffer, why);
}

IBoardFactory* LoadBoardLibraryFrom(const char* path, std::string* why) {
  UnloadBoardLibrary();
  g_board_library.handle = platform::LoadDynamicLibrary(path, why);
  if (g_board_library.handle == nullptr) return nullptr;
  // StaticFactory is the factory object itself, not a function returning it.
  g_board_library.factory =
      static_cast<IBoardFactory*>(platform::FindLibrarySymbol(g_board_library.handle, kFactorySymbol));
  if (g_board_library.factory == nullptr && why != nullptr)
    *why = std::string(path) + " does not export " + kFactorySymbol;
  return g_board_library.factory;
}

void UnloadBoardLibrary() {
  if (g_board_library.handle != nullptr) platform::FreeDynamicLibrary(g_board_library.handle);
  g_board_library = BoardLibrary{};
  m_pci = nullptr;
}
