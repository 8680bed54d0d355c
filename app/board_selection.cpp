#include "app/board_selection.h"

#include <iostream>
#include <sstream>
#include <string>

std::int32_t SelectBoard(std::int32_t board_count) {
  if (board_count <= 1) return 1;
  std::cout << "Select device to work with: " << std::flush;
  return ReadBoardSelection(std::cin, board_count);
}

std::int32_t ReadBoardSelection(std::istream& in, std::int32_t board_count) {
  // The answer: blank lines, then the line that holds something, read up to
  // its end but no further than the bound, so that endless input
  // (/dev/zero, `yes`) ends the question too.
  std::string line;
  bool ended = false;
  for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
    line += static_cast<char>(c);
    if (c == '\n' && line.find_first_not_of(" \t\r\n\v\f") != std::string::npos) {
      ended = true;
      break;
    }
    if (line.size() == kAnswerBound) break;
  }
  ended = ended || in.eof();
  std::istringstream answer_line(line);
  std::int32_t answer = 0;
  const bool read = ended && static_cast<bool>(answer_line >> answer);
  // Compared as unsigned, a negative answer is above the count as well.
  if (!read || answer < 1 || static_cast<std::uint32_t>(answer) > static_cast<std::uint32_t>(board_count)) {
    return 1;
  }
  return answer;
}
