// Lays out the help texts of an option table: for each table, column widths,
// then tab stops, then the printing.
#include <algorithm>

#include "option/print_usage.h"

namespace option {

using Impl = PrintUsageImplementation;

void Impl::WriteLineEnd(IStringWriter& writer) { writer.write("\n", 1); }

void Impl::WriteSpaces(IStringWriter& writer, int count) {
  for (int i = 0; i < count; ++i) writer.write(" ", 1);
}

namespace {

struct TableLayout {
  int widths[Impl::kMaxColumns] = {};
  int tab_stops[Impl::kMaxColumns] = {};
  int last_column = 0;
  int room = 0;
  bool own_line = false;
};

// Column widths of the current table. Free-text rows take no part. A pass whose
// columns before the last add up to more than the line is repeated with every
// cell line at least as wide as the widest of those columns left out, so each
// pass lowers the limit and the passes end.
void MeasureColumns(Impl::CellLineCursor& cursor, TableLayout& layout) {
  int overlong_limit = Impl::kFirstOverlongLimit;
  int left_width = 0;
  do {
    layout.last_column = 0;
    std::fill(std::begin(layout.widths), std::end(layout.widths), 0);
    cursor.RewindTable();
    while (cursor.EnterNextRow()) {
      while (cursor.Advance()) {
        if (cursor.column >= Impl::kMaxColumns) continue;
        layout.last_column = std::max(layout.last_column, cursor.column);
        if (cursor.display_width < overlong_limit && cursor.IsTableCell()) {
          layout.widths[cursor.column] = std::max(layout.widths[cursor.column], cursor.display_width);
        }
      }
    }
    left_width = 0;
    for (int i = 0; i < layout.last_column; ++i) left_width += layout.widths[i];
    if (layout.last_column > 0) {
      overlong_limit = *std::max_element(layout.widths, layout.widths + layout.last_column);
    }
  } while (left_width > Impl::kLineWidth);
}

// Tab stops, and the room left for the last column. A last column squeezed
// below 40 columns by a wider text moves to lines of its own, 60 wide.
void SetTabStops(TableLayout& layout) {
  layout.tab_stops[0] = 0;
  for (int i = 1; i < Impl::kMaxColumns; ++i) {
    layout.tab_stops[i] = layout.tab_stops[i - 1] + layout.widths[i - 1];
  }
  layout.room = Impl::kLineWidth - layout.tab_stops[layout.last_column];
  layout.own_line = layout.last_column > 0 && layout.room < Impl::kOwnLineRoomThreshold &&
                    layout.room < layout.widths[layout.last_column];
  if (layout.own_line) layout.room = Impl::kOwnLineWidth;
}

void PrintRow(Impl::IStringWriter& writer, Impl::CellLineCursor& cursor, const TableLayout& layout,
              Impl::WrapBuffer& last_column_text, Impl::WrapBuffer& free_text) {
  int output_column = -1;
  while (cursor.Advance()) {
    const int column = cursor.column;
    if (column > layout.last_column) continue;
    if (column == 0) {
      if (output_column >= 0) Impl::WriteLineEnd(writer);
      output_column = 0;
    }

    const int tab_stop = layout.tab_stops[column];
    if (tab_stop < output_column) {
      Impl::WriteLineEnd(writer);
      Impl::WriteSpaces(writer, tab_stop);
    } else {
      Impl::WriteSpaces(writer, tab_stop - output_column);
    }
    output_column = tab_stop;

    if (column < layout.last_column && cursor.IsTableCell()) {
      writer.write(cursor.position, cursor.byte_length);
      output_column += cursor.display_width;
    } else if (column == 0) {
      free_text.Take(writer, cursor.position, cursor.byte_length);
    } else if (!layout.own_line) {
      last_column_text.Take(writer, cursor.position, cursor.byte_length);
    }
  }

  if (layout.own_line) {
    cursor.RewindRow();
    while (cursor.Advance()) {
      if (cursor.column != layout.last_column) continue;
      Impl::WriteLineEnd(writer);
      Impl::WriteSpaces(writer, last_column_text.indent_column);
      last_column_text.Take(writer, cursor.position, cursor.byte_length);
    }
  }

  Impl::WriteLineEnd(writer);
  last_column_text.Drain(writer);
  free_text.Drain(writer);
}

}  // namespace

void Impl::FormatUsage(IStringWriter& writer, const OptionDescriptor* table) {
  CellLineCursor cursor(table);
  while (cursor.EnterNextTable()) {
    TableLayout layout;
    MeasureColumns(cursor, layout);
    SetTabStops(layout);

    WrapBuffer last_column_text(kLineWidth - layout.room, kLineWidth);
    WrapBuffer free_text(0, kLineWidth);
    cursor.RewindTable();
    while (cursor.EnterNextRow()) PrintRow(writer, cursor, layout, last_column_text, free_text);
  }
}

}  // namespace option
