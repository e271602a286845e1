// CUTStringList and CUTTagList on their own.
#include <zerth/CUTStringList.h>
#include <zerth/CUTTagList.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const CUTStringList& list) {
  std::vector<std::string> lines;
  for (long i = 0; i < list.GetCount(); ++i) lines.emplace_back(list.GetString(i));
  return lines;
}

TEST(CUTStringList, DeletingKeepsOrderAndTheEndForLaterAdds) {
  using V = std::vector<std::string>;
  const struct {
    long index;
    int result;
    V after;  // then "d" is appended
  } cases[] = {
      {0, 1, {"b", "c", "d"}}, {1, 1, {"a", "c", "d"}}, {2, 1, {"a", "b", "d"}},
      {3, 0, {"a", "b", "c", "d"}}, {-1, 0, {"a", "b", "c", "d"}},
  };
  for (const auto& c : cases) {
    CUTStringList list;
    for (const char* text : {"a", "b", "c"}) ASSERT_EQ(list.AddString(text), 1);
    EXPECT_STREQ(list.GetString(2), "c");  // looked up last: a deletion must forget it
    EXPECT_EQ(list.DeleteString(c.index), c.result) << c.index;
    list.AddString("d");
    EXPECT_STREQ(list.GetString(2), c.after[2].c_str()) << c.index;
    EXPECT_EQ(Lines(list), c.after) << c.index;
    EXPECT_EQ(list.GetString(list.GetCount()), nullptr);
  }
  CUTStringList list;
  list.AddString("only");
  EXPECT_EQ(list.DeleteString(0), 1);
  list.AddString("again");
  EXPECT_EQ(Lines(list), V{"again"});
  EXPECT_EQ(list.ClearList(), 1);
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetString(0), nullptr);
}

TEST(CUTStringList, ManyLinesAreFreedWithoutRecursion) {
  CUTStringList list;
  for (int i = 0; i < 1'000'000; ++i) list.AddString("x");
  EXPECT_EQ(list.GetCount(), 1'000'000);
  EXPECT_STREQ(list.GetString(999'999), "x");
}

TEST(CUTTagList, PositionsInOrder) {
  CUTTagList list;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(list.AddTagPos(10 * i, i), 1);
  long line = -1;
  int position = -1;
  const struct {
    int index, result;
    long line;
    int position;
  } cases[] = {{0, 1, 0, 0}, {2, 1, 20, 2}, {3, 0, 20, 2}, {-1, 0, 20, 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(list.GetTagPos(c.index, &line, &position), c.result) << c.index;
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(position, c.position);
  }
  list.ClearList();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetTagPos(0, &line, &position), 0);
}

}  // namespace
