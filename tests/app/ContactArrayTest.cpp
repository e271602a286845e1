// CContactArray (copies, order-keeping removal, bounds) and MergeContacts against the plain scan.
#include "AppTestKit.h"
#include "MergeContacts.h"

#include <gtest/gtest.h>

#include <random>

using apptest::ContactsOf;

namespace {

const apptest::Contacts kFive = {{"0@x", "N0"}, {"1@x", "N1"}, {"2@x", "N2"}, {"3@x", "N3"}, {"4@x", "N4"}};

TEST(ContactArray, AddStoresACopyEvenOfItsOwnElementWhileFull) {
  CContactArray array = apptest::ArrayOf({kFive[0], kFive[1], kFive[2], kFive[3]});
  ASSERT_EQ(array.GetSize(), array.GetCapacity());
  array.Add(array[0]);
  EXPECT_EQ(array[4].m_sName, "N0");
}

TEST(ContactArray, RemoveAtKeepsTheOrderOfTheRestAndRefusesRunsOutside) {
  const std::vector<int> all = {0, 1, 2, 3, 4};
  const std::tuple<int, int, std::vector<int>, bool> cases[] = {  // index, count, left, throws
      {2, 1, {0, 1, 3, 4}, false}, {1, 3, {0, 4}, false}, {0, 5, {}, false}, {3, 0, all, false}, {5, 1, all, true},
      {1, 5, all, true}, {-1, 1, all, true}, {0, -1, all, true}, {1, 0x7fffffff, all, true}};
  for (const auto& [index, count, left, throws] : cases) {
    CContactArray array = apptest::ArrayOf(kFive);
    if (throws) EXPECT_THROW(array.RemoveAt(index, count), std::out_of_range) << index << "+" << count;
    else array.RemoveAt(index, count);
    apptest::Contacts expected;
    for (int i : left) expected.push_back(kFive[std::size_t(i)]);
    EXPECT_EQ(ContactsOf(array), expected) << index << "+" << count;
  }
  EXPECT_THROW(apptest::ArrayOf(kFive).GetAt(5), std::out_of_range);
  EXPECT_THROW(apptest::ArrayOf(kFive)[-1], std::out_of_range);
}

// Appends each source contact whose address is in no element of the growing target.
void NaiveMerge(CContactArray& target, const CContactArray& source) {
  for (int i = 0; i < source.GetSize(); ++i) {
    bool found = false;
    for (int j = 0; j < target.GetSize() && !found; ++j) found = target[j].m_sAddress == source[i].m_sAddress;
    if (!found) target.Add(source[i]);
  }
}

// Few distinct addresses, so that repeats are common; one run in four has many distinct ones.
CContactArray RandomContacts(std::mt19937& random, bool wide) {
  static const char* const pool[] = {"", "a@x", "A@x", "a@X", "b@y", "b@y ", " b@y", "\xc3\xa9@x", "\xc3\x89@x"};
  const unsigned maxCount = wide ? 600 : 25;
  CContactArray out;
  for (unsigned i = 0, count = random() % (maxCount + 1); i < count; ++i)
    out.Add(CContact(wide ? "u" + std::to_string(random() % (3 * maxCount)) : pool[random() % std::size(pool)],
                     "name " + std::to_string(i)));
  return out;
}

TEST(MergeContacts, MatchesTheScanOnRandomInputs) {
  for (unsigned seed = 1; seed <= 400; ++seed) {
    std::mt19937 random(seed);
    CContactArray target = RandomContacts(random, seed % 4 == 0);
    const CContactArray source = RandomContacts(random, seed % 4 == 0);
    const apptest::Contacts sourceBefore = ContactsOf(source);
    CContactArray expected = target;
    NaiveMerge(expected, source);
    MergeContacts(target, source);
    ASSERT_EQ(ContactsOf(target), ContactsOf(expected)) << "seed " << seed;
    ASSERT_EQ(ContactsOf(source), sourceBefore) << "seed " << seed;
  }
  CContactArray array = apptest::ArrayOf(kFive);
  MergeContacts(array, array);  // into itself: nothing changes
  EXPECT_EQ(ContactsOf(array), kFive);
}

}  // namespace
