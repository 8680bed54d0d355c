// Display names of the board models, by the identifier a board reports.
#ifndef VANTREL_BOARD_BOARD_MODEL_TABLE_H
#define VANTREL_BOARD_BOARD_MODEL_TABLE_H

#include <cstdint>
#include <map>

using BoardModelTable = std::map<std::uint32_t, const char*>;

// Inserts the known models one after another; an identifier that is already
// present keeps its first name.
void FillBoardModelTable(BoardModelTable& table);

#endif
