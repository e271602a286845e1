#include "mailing/CResultMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Rows = std::vector<std::pair<std::string, std::uint32_t>>;

Rows RowsOf(const CResultMap& map) {
  Rows rows;
  map.ForEach([&rows](const std::string& key, std::uint32_t value) { rows.emplace_back(key, value); });
  return rows;
}

// The map as described: 17 chains, new keys at the head, lookups by scanning.
class ReferenceMap {
public:
  void SetAt(const std::string& key, std::uint32_t value) {
    auto& chain = m_chains[CResultMap::HashKey(key) % 17];
    auto found = std::find_if(chain.begin(), chain.end(), [&key](const auto& entry) { return entry.first == key; });
    if (found == chain.end()) chain.emplace_front(key, value);
    else found->second = value;
  }
  Rows rows() const {
    Rows rows;
    for (const auto& chain : m_chains) rows.insert(rows.end(), chain.begin(), chain.end());
    return rows;
  }

private:
  std::list<std::pair<std::string, std::uint32_t>> m_chains[17];
};

}  // namespace

TEST(CResultMapTest, HashTakesBytesAsSignedAndWrapsModulo32Bits) {
  EXPECT_EQ(CResultMap::HashKey(""), 0u);
  EXPECT_EQ(CResultMap::HashKey("ab"), 97u * 33u + 98u);
  EXPECT_EQ(CResultMap::HashKey("\xE9"), 0xFFFFFFE9u);  // -23
  EXPECT_EQ(CResultMap::HashKey("\xE9" "a"), 0xFFFFFFE9u * 33u + 97u);
  std::uint32_t expected = 0;
  for (int i = 0; i < 40; ++i) expected = expected * 33u + 122u;  // 'z'
  EXPECT_EQ(CResultMap::HashKey(std::string(40, 'z')), expected);
}

TEST(CResultMapTest, IteratesBucketsInOrderNewestFirstAndOverwritesInPlace) {
  // "a" (97) and "r" (114) share bucket 12; "b" (98) is in bucket 13; "q" (113) in 11.
  CResultMap map;
  map.SetAt("a", 1);
  map.SetAt("b", 2);
  map.SetAt("r", 3);
  map.SetAt("q", 4);
  map.SetAt("a", 5);  // overwrite: keeps its place behind the newer "r"
  EXPECT_EQ(RowsOf(map), (Rows{{"q", 4}, {"r", 3}, {"a", 5}, {"b", 2}}));
  EXPECT_EQ(map.GetCount(), 4);
  std::uint32_t value = 0;
  EXPECT_TRUE(map.Lookup("a", value) && value == 5u);
  EXPECT_FALSE(map.Lookup("A", value));
}

TEST(CResultMapTest, MatchesTheDescribedChainsOnRandomAddresses) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    CResultMap map;
    ReferenceMap reference;
    for (int i = 0, count = int(random() % 200); i < count; ++i) {
      // Few distinct keys, so overwrites and shared buckets are common; high bytes too.
      const std::string key = "u" + std::to_string(random() % 60) + (random() % 4 == 0 ? "\xC3\xA9" : "") + "@x";
      const std::uint32_t code = random() % 30;
      map.SetAt(key, code);
      reference.SetAt(key, code);
    }
    ASSERT_EQ(RowsOf(map), reference.rows()) << "round " << round;
  }
}
