// Finding the boards the library can open and listing them.
#ifndef VANTREL_APP_BOARD_DISCOVERY_H
#define VANTREL_APP_BOARD_DISCOVERY_H

#include <cstdint>
#include <ostream>

#include "board/board_model_table.h"

// Opens boards 1, 2, 3, ... through m_pci until one does not answer and lists
// each on `out`. Returns how many were listed.
std::int32_t DiscoverBoards(const BoardModelTable& models, std::ostream& out);

// "[n] <model name> [id=0x<id>]", or "Unknown device" for a model the table
// does not know; n in decimal, the identifier in lower-case hexadecimal.
void PrintListingLine(std::ostream& out, std::int32_t board, std::uint32_t id, const BoardModelTable& models);

#endif
