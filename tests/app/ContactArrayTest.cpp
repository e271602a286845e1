// CContactArray: growth rule, order-keeping removal, bounds.
#include "CContactArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

CContact Numbered(int i) { return {"user" + std::to_string(i) + "@example.org", "User " + std::to_string(i)}; }

std::vector<std::string> Addresses(const CContactArray& array) {
  std::vector<std::string> out;
  for (int i = 0; i < array.GetSize(); ++i) out.push_back(array[i].m_sAddress);
  return out;
}

struct GrowthPoint {
  int adds;
  int capacity;
};

TEST(ContactArrayGrowth, CapacityAfterAppendsFollowsTheEighthRule) {
  // 4 at least, an eighth of the size above 32 elements, 1024 at most.
  const std::vector<GrowthPoint> points = {
      {1, 4}, {4, 4}, {5, 8}, {9, 12}, {36, 36}, {37, 40}, {41, 45}, {46, 50}, {51, 56},
  };
  CContactArray array;
  int added = 0;
  for (const GrowthPoint& point : points) {
    while (added < point.adds) array.Add(Numbered(added++));
    EXPECT_EQ(array.GetCapacity(), point.capacity) << "after " << point.adds << " appends";
  }
}

TEST(ContactArrayGrowth, GrowsOnlyWhenFullAndNeverByMoreThan1024) {
  CContactArray array;
  int largestStep = 0;
  for (int i = 0; i < 20000; ++i) {
    const int before = array.GetCapacity();
    const bool wasFull = array.GetSize() == before;
    array.Add(Numbered(i));
    const int step = array.GetCapacity() - before;
    ASSERT_EQ(step != 0, wasFull) << "at size " << i;
    if (step) {
      ASSERT_EQ(step, std::clamp(i / 8, 4, 1024)) << "at size " << i;
    }
    largestStep = std::max(largestStep, step);
  }
  EXPECT_EQ(largestStep, 1024);
  EXPECT_EQ(array.GetSize(), 20000);
  EXPECT_EQ(array[19999].m_sAddress, "user19999@example.org");
}

TEST(ContactArrayGrowth, ALargerRequestGetsExactlyWhatItAsks) {
  CContactArray array;
  array.SetSize(100);
  EXPECT_EQ(array.GetCapacity(), 100);
  EXPECT_EQ(array.GetSize(), 100);
  EXPECT_TRUE(array[99].m_sAddress.empty());
  array.Add(Numbered(0));
  EXPECT_EQ(array.GetCapacity(), 112);  // 100 / 8 = 12
  array.Reserve(5000);
  EXPECT_EQ(array.GetCapacity(), 5000);
  array.Reserve(10);
  EXPECT_EQ(array.GetCapacity(), 5000);
  array.SetSize(3);
  EXPECT_EQ(array.GetSize(), 3);
  EXPECT_EQ(array.GetCapacity(), 5000);
}

TEST(ContactArray, AddReturnsTheNewIndexAndStoresACopy) {
  CContactArray array;
  CContact contact = Numbered(7);
  EXPECT_EQ(array.Add(contact), 0);
  EXPECT_EQ(array.Add(Numbered(8)), 1);
  contact.m_sName = "changed";
  EXPECT_EQ(array[0].m_sName, "User 7");
  EXPECT_EQ(array.GetAt(1).m_sName, "User 8");
}

TEST(ContactArray, AddingOwnElementWhileFullCopiesItBeforeGrowing) {
  CContactArray array;
  for (int i = 0; i < 4; ++i) array.Add(Numbered(i));
  ASSERT_EQ(array.GetSize(), array.GetCapacity());
  array.Add(array[0]);
  EXPECT_EQ(array[4].m_sAddress, "user0@example.org");
  EXPECT_EQ(array[4].m_sName, "User 0");
}

struct RemoveCase {
  const char* name;
  int index;
  int count;
  std::vector<int> left;
};

TEST(ContactArray, RemoveAtKeepsTheOrderOfTheRest) {
  const std::vector<RemoveCase> cases = {
      {"first", 0, 1, {1, 2, 3, 4}},
      {"middle", 2, 1, {0, 1, 3, 4}},
      {"last", 4, 1, {0, 1, 2, 3}},
      {"run", 1, 3, {0, 4}},
      {"all", 0, 5, {}},
      {"nothing", 3, 0, {0, 1, 2, 3, 4}},
  };
  for (const RemoveCase& c : cases) {
    CContactArray array;
    for (int i = 0; i < 5; ++i) array.Add(Numbered(i));
    array.RemoveAt(c.index, c.count);
    std::vector<std::string> expected;
    for (int i : c.left) expected.push_back(Numbered(i).m_sAddress);
    EXPECT_EQ(Addresses(array), expected) << c.name;
  }
}

TEST(ContactArray, OutOfRangeAccessAndRemovalThrowAndChangeNothing) {
  CContactArray array;
  for (int i = 0; i < 3; ++i) array.Add(Numbered(i));
  EXPECT_THROW(array.GetAt(3), std::out_of_range);
  EXPECT_THROW(array[-1], std::out_of_range);
  EXPECT_THROW(array.RemoveAt(3), std::out_of_range);
  EXPECT_THROW(array.RemoveAt(1, 3), std::out_of_range);
  EXPECT_THROW(array.RemoveAt(-1), std::out_of_range);
  EXPECT_THROW(array.RemoveAt(0, -1), std::out_of_range);
  EXPECT_THROW(array.RemoveAt(1, 0x7fffffff), std::out_of_range);
  EXPECT_EQ(array.GetSize(), 3);
}

TEST(ContactArray, RemoveAllEmptiesAndReleases) {
  CContactArray array;
  for (int i = 0; i < 10; ++i) array.Add(Numbered(i));
  array.RemoveAll();
  EXPECT_EQ(array.GetSize(), 0);
  EXPECT_EQ(array.GetCapacity(), 0);
  EXPECT_EQ(array.Add(Numbered(1)), 0);
}

}  // namespace
