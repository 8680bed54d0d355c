#include "option/parsed_option.h"

#include <gtest/gtest.h>

namespace option {
namespace {

std::uintptr_t Link(const ParsedOption& record, bool marked) {
  return ParsedOption::link_to(&record, marked);
}

TEST(ParsedOptionTest, NameLength) {
  struct Case {
    const char* name;
    std::int32_t length;
  };
  const Case cases[] = {
      {nullptr, 0},     {"f", 1},    {"fa.bin", 1}, {"-", 1},  {"--flash", 7},
      {"--flash=a", 7}, {"--=x", 2}, {"-=", 1},     {"--", 2}, {"-abc", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name == nullptr ? "(null)" : c.name);
    EXPECT_EQ(ParsedOption::measure_name(c.name), c.length);
    EXPECT_EQ(ParsedOption(&option_table[1], c.name, nullptr).name_length, c.length);
  }
}

// Links any number of records behind the first, each added through a
// different member of the list, and walks the result both ways.
TEST(ParsedOptionTest, AddToListKeepsOrderFromAnyMember) {
  ParsedOption records[5];
  for (int i = 1; i < 5; ++i) records[i - 1].add_to_list(&records[i]);

  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(records[i].list_first(), &records[0]);
    EXPECT_EQ(records[i].list_last(), &records[4]);
    EXPECT_EQ(ParsedOption::target(records[i].next), &records[(i + 1) % 5]);
    EXPECT_EQ(ParsedOption::target(records[i].previous), &records[(i + 4) % 5]);
    EXPECT_EQ(ParsedOption::is_marked(records[i].next), i == 4);
    EXPECT_EQ(ParsedOption::is_marked(records[i].previous), i == 0);
  }
}

TEST(ParsedOptionTest, AssignCopiesContentsButNotTheList) {
  ParsedOption source(&option_table[1], "--flash=a.bin", "a.bin");
  ParsedOption second;
  source.add_to_list(&second);

  ParsedOption copy;
  copy.assign(source);
  EXPECT_EQ(copy.descriptor, &option_table[1]);
  EXPECT_STREQ(copy.argument, "a.bin");
  EXPECT_EQ(copy.name_length, 7);
  EXPECT_EQ(copy.next, Link(copy, true));
  EXPECT_EQ(copy.previous, Link(copy, true));
  // The source's list is untouched.
  EXPECT_EQ(source.next, Link(second, false));
  EXPECT_EQ(second.next, Link(source, true));

  // Copy construction and assignment behave the same way.
  ParsedOption constructed(source);
  EXPECT_EQ(constructed.next, Link(constructed, true));
  second = source;
  EXPECT_EQ(second.previous, Link(second, true));
  EXPECT_TRUE(second.is_present());
}

}  // namespace
}  // namespace option
