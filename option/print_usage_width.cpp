// Screen width of UTF-8 text, as the usage layout counts it.
#include "option/print_usage.h"

namespace option {
namespace {

struct WideRange {
  std::uint32_t first;
  std::uint32_t last;
};

// East Asian wide ranges, both ends included. U+303F (ideographic half fill
// space) lies inside the CJK range but is narrow.
constexpr WideRange kWideRanges[] = {
    {0x1100, 0x115F}, {0x2329, 0x232A}, {0x2E80, 0xA4C6}, {0xA960, 0xA97C}, {0xAC00, 0xD7FB},
    {0xF900, 0xFAFF}, {0xFE10, 0xFE6B}, {0xFF01, 0xFF60}, {0xFFE0, 0xFFE6},
};
constexpr std::uint32_t kWideFrom = 0x1B000;  // every code point from here on is wide
constexpr std::uint32_t kNarrowHalfFillSpace = 0x303F;
constexpr std::uint32_t kFirstWide = 0x1100;

bool IsContinuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

// The bits a lead byte contributes: those below its highest clear bit. 0xFE
// contributes all eight, and so does 0xFF, which has no clear bit at all; with
// two continuation bytes either starts a wide character.
std::uint32_t LeadPayload(unsigned char lead) {
  if (lead <= 0xDF) return lead & 0x1Fu;
  if (lead <= 0xEF) return lead & 0x0Fu;
  if (lead <= 0xF7) return lead & 0x07u;
  if (lead <= 0xFB) return lead & 0x03u;
  if (lead <= 0xFD) return lead & 0x01u;
  return lead;
}

}  // namespace

bool PrintUsageImplementation::IsDoubleWidth(std::uint32_t code_point) {
  if (code_point >= kWideFrom) return true;
  if (code_point == kNarrowHalfFillSpace) return false;
  for (const WideRange& range : kWideRanges) {
    if (code_point >= range.first && code_point <= range.last) return true;
  }
  return false;
}

PrintUsageImplementation::Character PrintUsageImplementation::ReadCharacter(const char* text, int available) {
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead <= 0xC1) return {1, 1};
  std::uint32_t code_point = LeadPayload(lead);
  int bytes = 1;
  // The count of continuation bytes is not checked against what the lead byte
  // announces; the shift may overflow on nonsense input, harmlessly.
  while (bytes < available && IsContinuation(static_cast<unsigned char>(text[bytes]))) {
    code_point = (code_point << 6) | (static_cast<unsigned char>(text[bytes]) & 0x3Fu);
    ++bytes;
  }
  const bool wide = code_point >= kFirstWide && IsDoubleWidth(code_point);
  return {bytes, wide ? 2 : 1};
}

}  // namespace option
