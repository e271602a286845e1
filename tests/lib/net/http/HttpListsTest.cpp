// CUTStringList and CUTTagList on their own.
#include <zerth/CUTStringList.h>
#include <zerth/CUTTagList.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CUTStringList, DeletingKeepsOrderAndTheEndForLaterAdds) {
  const struct { long index; const char* after; } cases[] = {  // after: the lines, "d" appended
      {0, "bcd"}, {1, "acd"}, {2, "abd"}, {3, "abcd"}, {-1, "abcd"}};
  for (const auto& c : cases) {
    CUTStringList list;
    for (const char* text : {"a", "b", "c"}) ASSERT_EQ(list.AddString(text), 1);
    EXPECT_STREQ(list.GetString(2), "c");  // looked up last: a deletion must forget it
    EXPECT_EQ(list.DeleteString(c.index), c.index == 3 || c.index < 0 ? 0 : 1) << c.index;
    list.AddString("d");
    EXPECT_STREQ(list.GetString(2), std::string(1, c.after[2]).c_str()) << c.index;
    std::string lines;
    for (long i = 0; i < list.GetCount(); ++i) lines += list.GetString(i);
    EXPECT_EQ(lines, c.after);
    EXPECT_EQ(list.GetString(list.GetCount()), nullptr);
  }
  CUTStringList many;  // freed node by node: a recursion this deep would overflow the stack
  for (int i = 0; i < 1'000'000; ++i) many.AddString("x");
  EXPECT_EQ(many.ClearList() + many.GetCount(), 1);
}

TEST(CUTTagList, PositionsInOrderAndNoneBeyond) {
  CUTTagList list;
  long line = -1;
  int position = -1;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(list.AddTagPos(10 * i, i), 1);
  for (const int index : {2, 3, -1}) {  // a missing entry leaves the pair alone
    EXPECT_EQ(list.GetTagPos(index, &line, &position), index == 2 ? 1 : 0) << index;
    EXPECT_EQ(line * 100 + position, 2002) << index;
  }
  EXPECT_EQ(list.ClearList() + list.GetTagPos(0, &line, &position), 1);
}

}  // namespace
