// MergeContacts against the plain scan it replaces, over random inputs.
#include "MergeContacts.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// The behaviour to match: for each source contact, scan the whole target
// (which grows meanwhile) and append the contact when no address is equal.
void NaiveMerge(CContactArray& target, const CContactArray& source) {
  for (int i = 0; i < source.GetSize(); ++i) {
    bool found = false;
    for (int j = 0; j < target.GetSize() && !found; ++j) found = target[j].m_sAddress == source[i].m_sAddress;
    if (!found) target.Add(source[i]);
  }
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Contents(const CContactArray& array) {
  Pairs out;
  for (int i = 0; i < array.GetSize(); ++i) out.emplace_back(array[i].m_sAddress, array[i].m_sName);
  return out;
}

// Few distinct addresses, so that repeats are common (in the table too).
const std::vector<std::string> kAddressPool = {
    "", "a@x.org", "A@x.org", "a@X.org", "b@y.net", "b@y.net ", " b@y.net", "c@z.com", "\xc3\xa9@x.org", "\xc3\x89@x.org",
};

CContactArray RandomContacts(std::mt19937& random, int maxCount, bool wide) {
  CContactArray out;
  const int count = std::uniform_int_distribution<int>(0, maxCount)(random);
  std::uniform_int_distribution<std::size_t> pick(0, kAddressPool.size() - 1);
  std::uniform_int_distribution<int> number(0, 3 * maxCount);
  for (int i = 0; i < count; ++i) {
    std::string address = wide ? "u" + std::to_string(number(random)) + "@example.org" : kAddressPool[pick(random)];
    out.Add(CContact(address, "name " + std::to_string(i)));
  }
  return out;
}

TEST(MergeContacts, MatchesTheScanOnRandomInputs) {
  for (unsigned seed = 1; seed <= 400; ++seed) {
    std::mt19937 random(seed);
    const bool wide = seed % 4 == 0;
    const int maxCount = wide ? 600 : 25;
    CContactArray target = RandomContacts(random, maxCount, wide);
    const CContactArray source = RandomContacts(random, maxCount, wide);
    const Pairs sourceBefore = Contents(source);
    CContactArray expected = target;
    NaiveMerge(expected, source);
    MergeContacts(target, source);

    ASSERT_EQ(Contents(target), Contents(expected)) << "seed " << seed;
    ASSERT_EQ(Contents(source), sourceBefore) << "seed " << seed;
  }
}

TEST(MergeContacts, MergingAnArrayIntoItselfChangesNothing) {
  CContactArray array;
  array.Add({"a@x.org", "A"});
  array.Add({"b@x.org", "B"});
  MergeContacts(array, array);
  EXPECT_EQ(Contents(array), (Pairs{{"a@x.org", "A"}, {"b@x.org", "B"}}));
}

}  // namespace
