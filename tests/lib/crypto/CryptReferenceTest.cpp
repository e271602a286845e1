// Crypt against the Python reference implementation beside this file, over a
// spread of keys, chaining blocks and lengths.
#include "CryptTestData.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using namespace crypttest;

namespace {

struct Case {
  std::string key;
  Crypt::Block iv;
  Bytes plain;
};

std::string KeyOfLength(std::size_t length, unsigned seed) {
  std::string key;
  for (unsigned char b : Pattern(length, seed)) key += static_cast<char>(b ? b : 0x80);
  return key;
}

std::vector<Case> Cases() {
  const std::string keys[] = {
      "", "\xff", "KDW Tansy Lanterns 2.7", KeyOfLength(71, 2), KeyOfLength(72, 3), KeyOfLength(73, 4),
      KeyOfLength(200, 6),
  };
  const Crypt::Block ivs[] = {{0, 0}, {0xffffffff, 0x80000001}};
  const std::size_t lengths[] = {5, 21, 64};
  std::vector<Case> cases;
  unsigned seed = 100;
  for (const std::string& key : keys)
    for (const Crypt::Block& iv : ivs)
      for (std::size_t length : lengths) cases.push_back({key, iv, Pattern(length, seed++)});
  return cases;
}

std::string HexOrDash(const Bytes& bytes) { return bytes.empty() ? "-" : ToHex(bytes); }

std::string ChainHex(const Crypt::Block& block) {
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", unsigned{block.left}, unsigned{block.right});
  return text;
}

std::string RunReference(const std::string& arguments) {
  return testenv::RunCommand("/usr/bin/python3 " CRYPT_REFERENCE_SCRIPT " " + arguments);
}

TEST(CryptReference, SkeletonMatchesPublishedBlowfishVectors) {
  EXPECT_EQ(RunReference("selfcheck 2>&1"), "ok\n");
}

TEST(CryptReference, AgreesOnEveryKeyChainAndLength) {
  const std::vector<Case> cases = Cases();
  std::ostringstream input;
  for (const Case& c : cases)
    input << HexOrDash(FromText(c.key)) << ' ' << ChainHex(c.iv) << ' ' << HexOrDash(c.plain) << '\n';
  testenv::TempDir dir;
  const auto inputPath = dir.path() / "cases.txt";
  testenv::WriteFile(inputPath, input.str());

  std::istringstream output(RunReference("batch < " + inputPath.string()));
  std::size_t compared = 0;
  for (const Case& c : cases) {
    std::string cipher, chainText;
    if (!(output >> cipher >> chainText)) break;
    Crypt::Block chain = c.iv;
    const Bytes ours = Encrypted(Crypt(c.key.c_str()), c.plain, chain);
    EXPECT_EQ(HexOrDash(ours), cipher) << "key of " << c.key.size() << " bytes, " << c.plain.size() << " bytes";
    EXPECT_EQ(ChainHex(chain), chainText);
    ++compared;
  }
  EXPECT_EQ(compared, cases.size());
}

}  // namespace
