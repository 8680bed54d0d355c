#include "app/board_discovery.h"

#include <limits>

#include "app/board_call.h"

std::int32_t DiscoverBoards(const BoardModelTable& models, std::ostream& out) {
  std::int32_t count = 0;
  std::int32_t board = 1;
  // Any positive answer means the board exists and is now the current one.
  while (GuardedInitDevice(board) > 0) {
    PrintListingLine(out, board, GuardedQueryBoardId(), models);
    ++count;
    if (board == std::numeric_limits<std::int32_t>::max()) break;  // no board number beyond
    ++board;
  }
  return count;
}

void PrintListingLine(std::ostream& out, std::int32_t board, std::uint32_t id,
                      const BoardModelTable& models) {
  const auto model = models.find(id);
  const char* name = model != models.end() ? model->second : "Unknown device";
  out << '[' << std::dec << board << "] " << name << " [id=0x" << std::hex << id << std::dec << "]\n";
}
