// CUTStringList and CUTTagList on their own.
#include <zerth/CUTStringList.h>
#include <zerth/CUTTagList.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

TEST(CUTStringList, DeletingKeepsOrderAndTheEndForLaterAdds) {
  const struct {
    long index;
    int result;
    Lines after;  // then "d" is appended
  } cases[] = {{0, 1, {"b", "c", "d"}}, {1, 1, {"a", "c", "d"}}, {2, 1, {"a", "b", "d"}},
               {3, 0, {"a", "b", "c", "d"}}, {-1, 0, {"a", "b", "c", "d"}}};
  for (const auto& c : cases) {
    CUTStringList list;
    for (const char* text : {"a", "b", "c"}) ASSERT_EQ(list.AddString(text), 1);
    EXPECT_STREQ(list.GetString(2), "c");  // looked up last: a deletion must forget it
    EXPECT_EQ(list.DeleteString(c.index), c.result) << c.index;
    list.AddString("d");
    EXPECT_STREQ(list.GetString(2), c.after[2].c_str()) << c.index;
    Lines lines;
    for (long i = 0; i < list.GetCount(); ++i) lines.emplace_back(list.GetString(i));
    EXPECT_EQ(lines, c.after) << c.index;
    EXPECT_EQ(list.GetString(list.GetCount()), nullptr);
  }
}

TEST(CUTStringList, ManyLinesAreFreedWithoutRecursion) {
  CUTStringList list;
  for (int i = 0; i < 1'000'000; ++i) list.AddString("x");
  EXPECT_EQ(list.ClearList(), 1);
  EXPECT_EQ(list.GetString(0), nullptr);
}

TEST(CUTTagList, PositionsInOrder) {
  CUTTagList list;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(list.AddTagPos(10 * i, i), 1);
  long line = -1;
  int position = -1;
  for (const int index : {2, 3, -1}) {  // a missing entry leaves the pair alone
    EXPECT_EQ(list.GetTagPos(index, &line, &position), index == 2 ? 1 : 0) << index;
    EXPECT_EQ(line * 100 + position, 2002) << index;
  }
  list.ClearList();
  EXPECT_EQ(list.GetTagPos(0, &line, &position), 0);
}

}  // namespace
