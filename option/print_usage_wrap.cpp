// Word wrapping in constant space: pieces are pointers and lengths into the
// text, kept in a ring of 16 slots.
#include "option/print_usage.h"

namespace option {

using Wrap = PrintUsageImplementation::WrapBuffer;

Wrap::WrapBuffer(int first_column, int end_column)
    : indent_column(first_column),
      wrap_width(end_column - first_column < kLeastWrapWidth ? kLeastWrapWidth : end_column - first_column) {}

void Wrap::Take(IStringWriter& writer, const char* text, int length) {
  line_written = false;
  while (length > 0) {
    // No character is wider in columns than in bytes, so this rest fits.
    if (length <= wrap_width) {
      Queue(writer, text, length);
      break;
    }

    int used = 0;
    int taken = 0;
    while (taken < length && used < wrap_width) {
      const Character character = ReadCharacter(text + taken, length - taken);
      if (used + character.width > wrap_width) break;  // a wide character that does not fit
      used += character.width;
      taken += character.bytes;
    }
    if (taken == length) {
      Queue(writer, text, length);
      break;
    }

    // Break at the last space that still fits; the space itself is dropped.
    int space = taken;
    while (space >= 0 && text[space] != ' ') --space;
    if (space >= 0) {
      Queue(writer, text, space);
      text += space + 1;
      length -= space + 1;
    } else {
      // A word longer than the line is cut where the line is full.
      Queue(writer, text, taken);
      text += taken;
      length -= taken;
    }
  }
  if (!line_written) EmitLine(writer);
}

void Wrap::Queue(IStringWriter& writer, const char* text, int length) {
  // A full ring writes its oldest piece early: nothing is lost, the order stays.
  if (IsFull()) EmitLine(writer);
  piece_lengths[next_free] = length;
  piece_starts[next_free] = text;
  next_free = (next_free + 1) & kSlotMask;
}

void Wrap::EmitLine(IStringWriter& writer) {
  if (line_written) {
    WriteLineEnd(writer);
    WriteSpaces(writer, indent_column);
  }
  if (!IsEmpty()) {
    last_taken = (last_taken + 1) & kSlotMask;
    writer.write(piece_starts[last_taken], piece_lengths[last_taken]);
  }
  line_written = true;
}

void Wrap::Drain(IStringWriter& writer) {
  if (IsEmpty()) return;
  WriteSpaces(writer, indent_column);
  line_written = false;
  while (!IsEmpty()) EmitLine(writer);
  WriteLineEnd(writer);
}

}  // namespace option
