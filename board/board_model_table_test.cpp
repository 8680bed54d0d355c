#include "board/board_model_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(BoardModelTableTest, HasTheShapeOfTheProductList) {
  BoardModelTable table;
  FillBoardModelTable(table);
  ASSERT_EQ(table.size(), 49u);  // no identifier given twice

  std::map<std::uint32_t, int> family_sizes;
  std::map<std::string, int> name_counts;
  int above_2_31 = 0;
  for (const auto& [id, name] : table) {
    ++family_sizes[id & 0xFFFF];
    ++name_counts[name];
    if (id > 0x80000000u) {
      ++above_2_31;
      EXPECT_EQ(id & 0xFFFF, 0x4C31u);
    }
  }
  EXPECT_EQ(family_sizes, (std::map<std::uint32_t, int>{{0x4C31, 33}, {0x52A7, 14}, {0x0E19, 2}}));
  EXPECT_EQ(above_2_31, 1);

  // Exactly one display name is shared, by two signal generator identifiers.
  int shared = 0;
  for (const auto& [name, count] : name_counts) {
    if (count == 1) continue;
    ++shared;
    EXPECT_EQ(count, 2) << name;
    for (const auto& [id, row_name] : table) {
      if (row_name == name) {
        EXPECT_EQ(id & 0xFFFF, 0x52A7u) << name;
      }
    }
  }
  EXPECT_EQ(shared, 1);
}

TEST(BoardModelTableTest, FillingAgainKeepsTheFirstName) {
  BoardModelTable table{{0x01014C31, "kept"}};
  FillBoardModelTable(table);
  EXPECT_STREQ(table.at(0x01014C31), "kept");
}

}  // namespace
