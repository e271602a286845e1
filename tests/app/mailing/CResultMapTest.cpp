#include "mailing/CResultMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <random>

namespace {

TEST(CResultMapTest, HashTakesBytesAsSignedAndWrapsModulo32Bits) {
  std::uint32_t z40 = 0;
  for (int i = 0; i < 40; ++i) z40 = z40 * 33u + 'z';
  const std::pair<std::string, std::uint32_t> cases[] = {
      {"", 0u}, {"ab", 97u * 33u + 98u}, {"\xE9", 0xFFFFFFE9u}, {"\xE9" "a", 0xFFFFFFE9u * 33u + 97u},
      {std::string(40, 'z'), z40}};
  for (const auto& [key, hash] : cases) EXPECT_EQ(CResultMap::HashKey(key), hash) << key;
}

// Against the map as described: 17 chains, new keys at the head, an
// overwrite in place. (The delivery report's test pins one such order.)
TEST(CResultMapTest, MatchesTheDescribedChainsOnRandomAddresses) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    CResultMap map;
    std::list<std::pair<std::string, std::uint32_t>> chains[17];
    for (int i = 0, count = int(random() % 200); i < count; ++i) {
      // Few distinct keys, so overwrites and shared buckets are common; high bytes too.
      const std::string key = "u" + std::to_string(random() % 60) + (random() % 4 == 0 ? "\xC3\xA9" : "") + "@x";
      const std::uint32_t code = random() % 30;
      map.SetAt(key, code);
      auto& chain = chains[CResultMap::HashKey(key) % 17];
      auto found = std::find_if(chain.begin(), chain.end(), [&key](const auto& entry) { return entry.first == key; });
      found == chain.end() ? void(chain.emplace_front(key, code)) : void(found->second = code);
    }
    std::vector<std::pair<std::string, std::uint32_t>> rows, expected;
    map.ForEach([&rows](const std::string& key, std::uint32_t value) { rows.emplace_back(key, value); });
    for (const auto& chain : chains) expected.insert(expected.end(), chain.begin(), chain.end());
    ASSERT_EQ(rows, expected) << "round " << round;
    std::uint32_t value = 99;
    for (const auto& [key, code] : expected) EXPECT_TRUE(map.Lookup(key, value) && value == code) << key;
    EXPECT_EQ(map.GetCount(), int(expected.size()));
    EXPECT_FALSE(map.Lookup("U1@x", value));
  }
}

}  // namespace
