#include "app/board_selection.h"

#include <iostream>
#include <limits>

std::int32_t SelectBoard(std::int32_t board_count) {
  if (board_count <= 1) return 1;
  std::cout << "Select device to work with: " << std::flush;
  return ReadBoardSelection(std::cin, board_count);
}

std::int32_t ReadBoardSelection(std::istream& in, std::int32_t board_count) {
  std::int32_t answer = 0;
  const bool read = static_cast<bool>(in >> answer);
  if (!in.eof()) {
    in.clear();
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  // Compared as unsigned, a negative answer is above the count as well.
  if (!read || answer < 1 || static_cast<std::uint32_t>(answer) > static_cast<std::uint32_t>(board_count)) {
    return 1;
  }
  return answer;
}
