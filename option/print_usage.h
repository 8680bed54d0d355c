// The usage-screen layout engine. It lays out the help texts of any option
// table for an 80-column console: a tab separates columns, a vertical tab
// separates lines inside a cell, a newline separates rows, and a row with
// neither tab nor vertical tab is free text. Widths are counted in screen
// columns (UTF-8, East Asian wide characters counting two). The last column and
// free-text rows are word-wrapped. Nothing is allocated or copied.
#ifndef VANTREL_OPTION_PRINT_USAGE_H
#define VANTREL_OPTION_PRINT_USAGE_H

#include <cstdint>
#include <ios>

#include "option/option_table.h"

namespace option {

struct PrintUsageImplementation {
  // The text sink. Writes exactly `size` bytes from `str`, which need not be
  // terminated there.
  struct IStringWriter {
    virtual void write(const char* str, std::int32_t size) = 0;

   protected:
    ~IStringWriter() = default;
  };

  template <typename OStream>
  struct OStreamWriter final : IStringWriter {
    explicit OStreamWriter(OStream& stream) : ostream(stream) {}
    void write(const char* str, std::int32_t size) override {
      ostream.write(str, static_cast<std::streamsize>(size));
    }
    OStream& ostream;
  };

  static constexpr int kLineWidth = 80;
  static constexpr int kMaxColumns = 8;
  static constexpr int kOwnLineRoomThreshold = 40;
  static constexpr int kOwnLineWidth = 60;
  static constexpr int kFirstOverlongLimit = 10000;
  static constexpr int kLeastWrapWidth = 2;

  // True for the East Asian wide code points.
  static bool IsDoubleWidth(std::uint32_t code_point);

  // One character of UTF-8 text: a byte of 0xC1 or less stands alone; a higher
  // lead byte takes every following byte in 0x80..0xBF, but only within
  // `available` bytes.
  struct Character {
    int bytes;
    int width;  // screen columns, 1 or 2
  };
  static Character ReadCharacter(const char* text, int available);

  // Walks a table's help texts: tables, their rows, and each row's cell lines
  // line by line (line 0 of every cell, then line 1 of every cell, ...). A cell
  // without the wanted line reports an empty cell line in its column.
  class CellLineCursor {
   public:
    explicit CellLineCursor(const OptionDescriptor* table) : table_start(table) {}

    bool EnterNextTable();
    bool EnterNextRow();
    bool Advance();
    void RewindTable();
    void RewindRow();
    void Measure();

    // Whether the reported cell line belongs to a table rather than a free-text row.
    bool IsTableCell() const;

    const OptionDescriptor* table_start;
    const OptionDescriptor* row_descriptor = nullptr;
    const char* row_start = nullptr;
    const char* position = nullptr;
    int column = -1;
    int byte_length = 0;
    int display_width = 0;
    int deepest_line = 0;
    int line_in_cell = 0;
    int wanted_line = 0;
    bool wanted_line_found = true;
  };

  // A word wrapper that writes at most one line per Take and keeps the rest
  // pending as pointers into the text, in a ring of 16 slots (15 pieces).
  class WrapBuffer {
   public:
    WrapBuffer(int first_column, int end_column);

    void Take(IStringWriter& writer, const char* text, int length);
    void Drain(IStringWriter& writer);
    void Queue(IStringWriter& writer, const char* text, int length);
    void EmitLine(IStringWriter& writer);

    bool IsEmpty() const { return ((last_taken + 1) & kSlotMask) == next_free; }
    bool IsFull() const { return last_taken == next_free; }

    static constexpr int kSlots = 16;
    static constexpr int kSlotMask = kSlots - 1;

    int piece_lengths[kSlots] = {};
    const char* piece_starts[kSlots] = {};
    int indent_column;
    int wrap_width;
    int next_free = 0;
    int last_taken = kSlots - 1;
    bool line_written = false;
  };

  // Writes the usage screen of the whole table, which ends with the descriptor
  // whose short_names and help are both null.
  static void FormatUsage(IStringWriter& writer, const OptionDescriptor* table);

  static void WriteLineEnd(IStringWriter& writer);
  static void WriteSpaces(IStringWriter& writer, int count);
};

}  // namespace option

#endif  // VANTREL_OPTION_PRINT_USAGE_H
