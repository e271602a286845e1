// CBase64: Decode's rules, no state kept from one call to the next, and
// agreement with coreutils' base64 both ways.
#include "TestEnv.h"

#include <zerth/CBase64.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// The count and the strlen(text) + 1 bytes Decode may write; the guard byte
// past them must survive.
std::pair<int, std::string> Decode(const std::string& text, CBase64* shared = nullptr) {
  CBase64 fresh;
  CBase64& codec = shared ? *shared : fresh;
  std::vector<char> out(text.size() + 2, '\x55');
  const int count = codec.Decode(text.c_str(), out.data());
  EXPECT_EQ(out.back(), '\x55') << "Decode wrote past strlen(text) + 1 bytes of " << text;
  return {count, std::string(out.data(), text.size() + 1)};
}

TEST(CBase64, DecodeCountsAndBytesWritten) {
  const struct {
    std::string text;
    int count;
    std::string written;  // then zeros up to strlen(text) + 1
  } cases[] = {
      {"Z=g=", 1, "f"},  // "=" is skipped wherever it stands
      {"Zm9vY", 3, "foo"},  // left-over bits dropped
      {"====", 0, ""},
      {"\xDA\xED\xB9\xF6", 3, "foo"},  // the high bit does not count
      {"Zh==", 1, "f"},  // stray bits of the last character dropped
      {"Zm9v\nYmFy", 0, "foo"},  // a line break fails, keeping what came before
      {"Zm9vYm*y", 0, "foob"},
      {"Zm9v\x80", 0, "foo"},  // 0x80 is NUL, not a character
  };
  for (const auto& c : cases) {
    std::string written = c.written;
    written.resize(c.text.size() + 1, '\0');
    EXPECT_EQ(Decode(c.text), std::make_pair(c.count, written)) << c.text;
  }
  CBase64 codec;
  char out[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(codec.Decode("", out) + codec.Decode(nullptr, out) + codec.Decode("Zm9v", nullptr), 0);
  EXPECT_EQ(std::string(out, 4), "xxxx");
}

// The second text of each pair starts where the first left bits or a failure.
TEST(CBase64, OneObjectDecodesTextAfterTextAsAFreshOneDoes) {
  const std::pair<std::string, std::string> pairs[] = {{"Zm9vY", "Zm9v"}, {"Zm9v*", "YmFy"}, {"Z", "Zg=="}};
  for (const auto& [first, second] : pairs) {
    CBase64 shared;
    Decode(first, &shared);
    EXPECT_EQ(Decode(second, &shared), Decode(second)) << first << " then " << second;
  }
  CBase64 shared;
  shared.Encode("fo", 2);
  EXPECT_EQ(shared.Encode("foobar", 6), "Zm9vYmFy");
  EXPECT_EQ(shared.Encode("", 0) + shared.Encode(nullptr, 5) + shared.Encode("abc", -3), "");
}

// Every length modulo 3 and 8 (the encoder loads 8 bytes at a time).
TEST(CBase64, AgreesWithCoreutilsOnRandomFiles) {
  const testenv::TempDir dir;
  const std::string data = dir.str() + "/data.bin", text = dir.str() + "/data.b64";
  std::mt19937 rng(1987);
  for (const std::size_t size : {1, 2, 3, 4, 5, 6, 7, 8, 9, 53, 54, 55, 65537}) {
    SCOPED_TRACE(size);
    std::string bytes(size, '\0');
    for (auto& b : bytes) b = static_cast<char>(rng());
    testenv::WriteFile(data, bytes);
    const std::string theirs = testenv::RunCommand("base64 -w 0 '" + data + "'");
    const std::string ours = CBase64().Encode(bytes.data(), static_cast<int>(size));
    EXPECT_EQ(ours, theirs);
    const auto [count, decoded] = Decode(theirs);
    ASSERT_EQ(count, static_cast<int>(size));
    EXPECT_EQ(decoded.substr(0, size), bytes);
    testenv::WriteFile(text, ours);
    EXPECT_EQ(testenv::RunCommand("base64 -d '" + text + "'"), bytes);
  }
}

}  // namespace
