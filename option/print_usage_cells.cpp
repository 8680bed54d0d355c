// Walking the help texts of a table: tables, rows, and cell lines.
#include <algorithm>
#include <limits>

#include "option/print_usage.h"

namespace option {
namespace {

bool EndsCellLine(char byte) { return byte == '\0' || byte == '\t' || byte == '\n' || byte == '\v'; }

}  // namespace

using Cursor = PrintUsageImplementation::CellLineCursor;

void Cursor::Measure() {
  byte_length = 0;
  display_width = 0;
  // The cell line ends at a byte that no continuation byte can be, so reading
  // a character never crosses its end.
  while (!EndsCellLine(position[byte_length])) {
    const Character character = ReadCharacter(position + byte_length, std::numeric_limits<int>::max());
    byte_length += character.bytes;
    display_width += character.width;
  }
}

bool Cursor::IsTableCell() const {
  const char after = position[byte_length];
  return column > 0 || wanted_line > 0 || after == '\t' || after == '\v';
}

bool Cursor::EnterNextTable() {
  // Step over the table entered before, up to the break or the end. Every
  // descriptor with a help text belongs to it, as EnterNextRow sees it.
  if (row_descriptor != nullptr) {
    while (table_start->help != nullptr) ++table_start;
  }
  // Several breaks in a row count as one.
  while (table_start->help == nullptr && table_start->short_names != nullptr) ++table_start;
  RewindTable();
  return row_start != nullptr;
}

void Cursor::RewindTable() {
  row_descriptor = table_start;
  row_start = table_start->help;
  position = nullptr;
}

bool Cursor::EnterNextRow() {
  if (position == nullptr) {
    RewindRow();
    return row_start != nullptr;
  }
  while (*position != '\n' && *position != '\0') ++position;
  if (*position == '\0') {
    if (row_descriptor[1].help == nullptr) return false;
    ++row_descriptor;
    row_start = row_descriptor->help;
  } else {
    row_start = position + 1;
  }
  RewindRow();
  return true;
}

void Cursor::RewindRow() {
  position = row_start;
  column = -1;
  byte_length = 0;
  display_width = 0;
  deepest_line = 0;
  line_in_cell = 0;
  wanted_line = 0;
  wanted_line_found = true;
}

bool Cursor::Advance() {
  if (position == nullptr) return false;
  if (column == -1) {
    column = 0;
    Measure();
    return true;
  }

  position += byte_length;
  for (;;) {
    const char byte = *position;
    bool check = false;
    if (byte == '\v') {
      ++line_in_cell;
      deepest_line = std::max(deepest_line, line_in_cell);
      ++position;
      check = true;
    } else if (byte == '\t') {
      if (!wanted_line_found) {
        // The cell just scanned has no line `wanted_line`: report it empty.
        Measure();
        wanted_line_found = true;
        return true;
      }
      ++column;
      ++position;
      wanted_line_found = false;
      line_in_cell = 0;
      check = true;
    } else if (byte == '\0' || byte == '\n') {
      if (!wanted_line_found) {
        Measure();
        wanted_line_found = true;
        return true;
      }
      ++wanted_line;
      if (wanted_line > deepest_line) {
        // The row is done; `position` rests on its end for EnterNextRow.
        Measure();
        return false;
      }
      position = row_start;
      column = 0;
      line_in_cell = 0;
      wanted_line_found = false;
    } else {
      ++position;
    }
    if (check && line_in_cell == wanted_line) {
      Measure();
      wanted_line_found = true;
      return true;
    }
  }
}

}  // namespace option
