#include "board/board_model_table.h"

namespace {

struct BoardModel {
  std::uint32_t id;
  const char* name;
};

// The low 16 bits tell the product family: 0x4C31 acquisition boards (AQ),
// 0x52A7 signal generators (SG), 0x0E19 digital I/O boards (DX). The upper 16
// bits tell the model (high byte) and its variant and revision (low byte).
constexpr BoardModel kBoardModels[] = {
    {0x01014C31, "AQ-212 (40 MSPS, 12 bit, rev. 1)"},
    {0x01024C31, "AQ-212 (40 MSPS, 12 bit, rev. 2)"},
    {0x01114C31, "AQ-212L (20 MSPS, 12 bit, rev. 1)"},
    {0x02014C31, "AQ-214 (65 MSPS, 14 bit, rev. 1)"},
    {0x02024C31, "AQ-214 (65 MSPS, 14 bit, rev. 2)"},
    {0x02034C31, "AQ-214 (65 MSPS, 14 bit, rev. 3)"},
    {0x02114C31, "AQ-214L (25 MSPS, 14 bit, rev. 1)"},
    {0x02124C31, "AQ-214L (25 MSPS, 14 bit, rev. 2)"},
    {0x03014C31, "AQ-216 (10 MSPS, 16 bit, rev. 1)"},
    {0x03024C31, "AQ-216 (10 MSPS, 16 bit, rev. 2)"},
    {0x03114C31, "AQ-216S (5 MSPS, 16 bit, rev. 1)"},
    {0x04014C31, "AQ-412 (105 MSPS, 12 bit, rev. 1)"},
    {0x04024C31, "AQ-412 (105 MSPS, 12 bit, rev. 2)"},
    {0x05014C31, "AQ-414 (125 MSPS, 14 bit, rev. 1)"},
    {0x05024C31, "AQ-414 (125 MSPS, 14 bit, rev. 2)"},
    {0x05114C31, "AQ-414D (125 MSPS, 14 bit, rev. 1)"},
    {0x06014C31, "AQ-416 (80 MSPS, 16 bit, rev. 1)"},
    {0x06024C31, "AQ-416 (80 MSPS, 16 bit, rev. 2)"},
    {0x07014C31, "AQ-808 (500 MSPS, 8 bit, rev. 1)"},
    {0x07024C31, "AQ-808 (500 MSPS, 8 bit, rev. 2)"},
    {0x08014C31, "AQ-810 (250 MSPS, 10 bit, rev. 1)"},
    {0x09014C31, "AQ-1212 (210 MSPS, 12 bit, rev. 1)"},
    {0x09024C31, "AQ-1212 (210 MSPS, 12 bit, rev. 2)"},
    {0x0A014C31, "AQ-1224 (192 kSPS, 24 bit, rev. 1)"},
    {0x0A024C31, "AQ-1224 (192 kSPS, 24 bit, rev. 2)"},
    {0x0B014C31, "AQ-1618 (2 MSPS, 18 bit, rev. 1)"},
    {0x0C014C31, "AQ-3212 (3 MSPS, 12 bit, rev. 1)"},
    {0x0C024C31, "AQ-3212 (3 MSPS, 12 bit, rev. 2)"},
    {0x0D014C31, "AQ-6416 (1 MSPS, 16 bit, rev. 1)"},
    {0x0D024C31, "AQ-6416 (1 MSPS, 16 bit, rev. 2)"},
    {0x0E014C31, "AQ-Base carrier"},
    {0x0E024C31, "AQ-Base carrier II"},
    {0x80014C31, "AQ-816X (1 GSPS, 8 bit, rev. 1)"},

    {0x010152A7, "SG-212 (100 MSPS, 12 bit, rev. 1)"},
    {0x010252A7, "SG-212 (100 MSPS, 12 bit, rev. 2)"},
    {0x020152A7, "SG-214 (160 MSPS, 14 bit, rev. 1)"},
    // A second production lot of the same board, registered under its own identifier.
    {0x020252A7, "SG-214 (160 MSPS, 14 bit, rev. 1)"},
    {0x020352A7, "SG-214 (160 MSPS, 14 bit, rev. 2)"},
    {0x030152A7, "SG-216 (50 MSPS, 16 bit, rev. 1)"},
    {0x030252A7, "SG-216 (50 MSPS, 16 bit, rev. 2)"},
    {0x040152A7, "SG-416 (200 MSPS, 16 bit, rev. 1)"},
    {0x050152A7, "SG-808 (1 GSPS, 8 bit, rev. 1)"},
    {0x060152A7, "SG-1224 (192 kSPS, 24 bit, rev. 1)"},
    {0x060252A7, "SG-1224 (192 kSPS, 24 bit, rev. 2)"},
    {0x070152A7, "SG-AWG2 (400 MSPS, 14 bit, rev. 1)"},
    {0x070252A7, "SG-AWG2 (400 MSPS, 14 bit, rev. 2)"},
    {0x080152A7, "SG-Base carrier"},

    {0x01010E19, "DX-64 digital I/O"},
    {0x02010E19, "DX-128 digital I/O"},
};

}  // namespace

void FillBoardModelTable(BoardModelTable& table) {
  for (const BoardModel& model : kBoardModels) table.insert({model.id, model.name});
}
