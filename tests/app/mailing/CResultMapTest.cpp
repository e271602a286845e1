// The result map's hash; the order of its chains is pinned by the delivery report's test.
#include "mailing/CResultMap.h"

#include <gtest/gtest.h>

TEST(CResultMapTest, HashTakesBytesAsSignedAndWrapsModulo32Bits) {
  std::uint32_t z40 = 0;
  for (int i = 0; i < 40; ++i) z40 = z40 * 33u + 'z';
  const std::pair<std::string, std::uint32_t> cases[] = {
      {"", 0u}, {"ab", 97u * 33u + 98u}, {"\xE9", 0xFFFFFFE9u}, {"\xE9" "a", 0xFFFFFFE9u * 33u + 97u},
      {std::string(40, 'z'), z40}};
  for (const auto& [key, hash] : cases) EXPECT_EQ(CResultMap::HashKey(key), hash) << key;
}
