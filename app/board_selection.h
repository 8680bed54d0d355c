// Settling which of the listed boards the operator means.
#ifndef VANTREL_APP_BOARD_SELECTION_H
#define VANTREL_APP_BOARD_SELECTION_H

#include <cstddef>
#include <cstdint>
#include <istream>

// With more than one board, asks "Select device to work with: " and reads the
// answer from standard input; with one board, selects it without asking.
std::int32_t SelectBoard(std::int32_t board_count);

// Reads one decimal integer from `in` and returns it when it names one of the
// `board_count` boards; anything else (no digits, end of input, a number
// outside 32 bits or outside 1..board_count) selects board 1. The rest of the
// answer's line is consumed, so that it is not taken as a later key press,
// but no more than kAnswerBound bytes of input in all: an answer that has
// not ended by then counts as no number.
constexpr std::size_t kAnswerBound = 4096;
std::int32_t ReadBoardSelection(std::istream& in, std::int32_t board_count);

#endif
