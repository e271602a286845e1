// CContactArray: growth rule, order-keeping removal, bounds.
#include "CContactArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

CContact Numbered(int i) { return {"user" + std::to_string(i) + "@example.org", "User " + std::to_string(i)}; }

CContactArray FirstNumbers(int count) {
  CContactArray array;
  for (int i = 0; i < count; ++i) array.Add(Numbered(i));
  return array;
}

// 4 at least, an eighth of the size above 32 elements, 1024 at most; only when full.
TEST(ContactArrayGrowth, GrowsWhenFullByAnEighthBetween4And1024) {
  CContactArray array;
  for (int i = 0; i < 20000; ++i) {
    const int before = array.GetCapacity();
    const bool wasFull = array.GetSize() == before;
    ASSERT_EQ(array.Add(Numbered(i)), i);
    ASSERT_EQ(array.GetCapacity() - before, wasFull ? std::clamp(i / 8, 4, 1024) : 0) << "at size " << i;
  }
  EXPECT_EQ(array[19999].m_sAddress, "user19999@example.org");
}

TEST(ContactArrayGrowth, ALargerRequestGetsExactlyWhatItAsks) {
  CContactArray array;
  array.SetSize(100);
  EXPECT_EQ(array.GetCapacity(), 100);
  EXPECT_TRUE(array[99].m_sAddress.empty());
  array.Add(Numbered(0));
  EXPECT_EQ(array.GetCapacity(), 112);  // 100 / 8 = 12
  array.Reserve(5000);
  array.Reserve(10);
  array.SetSize(3);
  EXPECT_EQ(array.GetSize(), 3);
  EXPECT_EQ(array.GetCapacity(), 5000);
  array.RemoveAll();
  EXPECT_EQ(array.GetCapacity(), 0);
}

TEST(ContactArray, AddStoresACopyEvenOfItsOwnElementWhileFull) {
  CContactArray array = FirstNumbers(4);
  ASSERT_EQ(array.GetSize(), array.GetCapacity());
  array.Add(array[0]);
  EXPECT_EQ(array[4].m_sName, "User 0");
  CContact contact = Numbered(7);
  array.Add(contact);
  contact.m_sName = "changed";
  EXPECT_EQ(array.GetAt(5).m_sName, "User 7");
}

TEST(ContactArray, RemoveAtKeepsTheOrderOfTheRest) {
  struct Case {
    int index, count;
    std::vector<int> left;
  };
  for (const Case& c : {Case{2, 1, {0, 1, 3, 4}}, Case{1, 3, {0, 4}}, Case{0, 5, {}}, Case{3, 0, {0, 1, 2, 3, 4}}}) {
    CContactArray array = FirstNumbers(5);
    array.RemoveAt(c.index, c.count);
    ASSERT_EQ(array.GetSize(), int(c.left.size())) << c.index << "+" << c.count;
    for (std::size_t i = 0; i < c.left.size(); ++i) EXPECT_EQ(array[int(i)].m_sAddress, Numbered(c.left[i]).m_sAddress);
  }
}

TEST(ContactArray, OutOfRangeAccessAndRemovalThrowAndChangeNothing) {
  CContactArray array = FirstNumbers(3);
  EXPECT_THROW(array.GetAt(3), std::out_of_range);
  EXPECT_THROW(array[-1], std::out_of_range);
  EXPECT_THROW(array.RemoveAt(3), std::out_of_range);
  EXPECT_THROW(array.RemoveAt(1, 3), std::out_of_range);
  EXPECT_THROW(array.RemoveAt(-1), std::out_of_range);
  EXPECT_THROW(array.RemoveAt(0, -1), std::out_of_range);
  EXPECT_THROW(array.RemoveAt(1, 0x7fffffff), std::out_of_range);
  EXPECT_EQ(array.GetSize(), 3);
}

}  // namespace
