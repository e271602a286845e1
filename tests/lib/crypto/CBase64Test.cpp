// CBase64: the RFC 4648 vectors, Decode's skipping of "=", its 7-bit look-up
// and failure cases, and agreement with the plain reference codec and with
// coreutils' base64 on random data.
#include "Base64Reference.h"
#include "TestEnv.h"

#include <zerth/CBase64.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string Encode(const std::string& data) {
  CBase64 codec;
  return codec.Encode(data.data(), static_cast<int>(data.size()));
}

// Decodes into the strlen(text) + 1 bytes Decode may write, with a guard
// byte past them that must survive.
struct Decoded {
  int count = 0;
  std::string buffer;
};
Decoded Decode(CBase64& codec, const std::string& text) {
  std::vector<char> out(text.size() + 2, '\x55');
  Decoded result{codec.Decode(text.c_str(), out.data()), {}};
  EXPECT_EQ(out.back(), '\x55') << "Decode wrote past strlen(text) + 1 bytes";
  result.buffer.assign(out.data(), text.size() + 1);
  return result;
}
Decoded Decode(const std::string& text) {
  CBase64 codec;
  return Decode(codec, text);
}

std::string RandomBytes(std::mt19937& rng, std::size_t length) {
  std::string bytes(length, '\0');
  for (auto& b : bytes) b = static_cast<char>(rng() & 0xFF);
  return bytes;
}

TEST(CBase64, Rfc4648VectorsBothWaysWithZerosAfterTheData) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [data, text] : vectors) {
    EXPECT_EQ(Encode(data), text) << data;
    if (text.empty()) continue;
    const Decoded d = Decode(text);
    ASSERT_EQ(d.count, static_cast<int>(data.size())) << text;
    EXPECT_EQ(d.buffer, data + std::string(text.size() + 1 - data.size(), '\0')) << text;
  }
}

TEST(CBase64, NullOrEmptyInputGivesNothingAndWritesNothing) {
  CBase64 codec;
  EXPECT_EQ(codec.Encode(nullptr, 5), "");
  EXPECT_EQ(codec.Encode("abc", 0), "");
  EXPECT_EQ(codec.Encode("abc", -3), "");
  char out[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(codec.Decode(nullptr, out), 0);
  EXPECT_EQ(codec.Decode("", out), 0);
  EXPECT_EQ(std::string(out, sizeof out), std::string(sizeof out, 'x'));
  EXPECT_EQ(codec.Decode("Zm9v", nullptr), 0);
}

TEST(CBase64, DecodeResultsAndBytesWritten) {
  const struct {
    const char* name;
    std::string text;
    int count;
    std::string written;  // the rest is zero up to strlen(text) + 1
  } cases[] = {
      {"equals sign between the characters", "Z=g=", 1, "f"},
      {"equals signs in the middle of groups", "Zm=9v=Ym=Fy", 6, "foobar"},
      {"left-over bits dropped", "Zm9vY", 3, "foo"},
      {"only equals signs", "====", 0, ""},
      {"high bit ignored", "\xDA\xED\xB9\xF6", 3, "foo"},
      {"high bit on the equals sign", "Zg\xBD\xBD", 1, "f"},
      {"stray bits kept in the next byte", "Zh==", 1, "f"},
      {"line feed stops the decoding", "Zm9v\nYmFy", 0, "foo"},
      {"carriage return and line feed", "Zm9vYmFy\r\n", 0, "foobar"},
      {"invalid keeps every byte completed before it", "Zm9vYm*y", 0, "foob"},
      {"0x80 counts as NUL, not a character", "Zm9v\x80", 0, "foo"},
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(c.text);
    EXPECT_EQ(d.count, c.count) << c.name;
    std::string expected = c.written;
    expected.resize(c.text.size() + 1, '\0');
    EXPECT_EQ(d.buffer, expected) << c.name;
  }
}

TEST(CBase64, OneObjectDecodesTextAfterTextAsFreshObjectsDo) {
  // The second text of each pair starts where the first left bits over.
  const std::pair<std::string, std::string> pairs[] = {{"Zm9vY", "Zm9v"}, {"Zm9v*", "YmFy"}, {"Z", "Zg=="}};
  for (const auto& [first, second] : pairs) {
    CBase64 shared;
    Decode(shared, first);
    const Decoded again = Decode(shared, second), fresh = Decode(second);
    EXPECT_EQ(again.count, fresh.count) << first << " then " << second;
    EXPECT_EQ(again.buffer, fresh.buffer) << first << " then " << second;
  }
  CBase64 shared;
  shared.Encode("fo", 2);
  EXPECT_EQ(shared.Encode("foobar", 6), "Zm9vYmFy");
}

TEST(CBase64, RandomDataAndTextMatchTheReference) {
  std::mt19937 rng(20261207);
  CBase64 codec;
  for (int round = 0; round < 2000; ++round) {
    const std::string data = RandomBytes(rng, 1 + rng() % 300);
    const std::string text = codec.Encode(data.data(), static_cast<int>(data.size()));
    ASSERT_EQ(text, base64ref::Encode(data.data(), static_cast<int>(data.size())));
    const Decoded d = Decode(codec, text);
    ASSERT_EQ(d.count, static_cast<int>(data.size()));
    ASSERT_EQ(d.buffer.substr(0, data.size()), data);
  }
  // Mostly the alphabet, with "=", high-bit twins and invalid bytes mixed in.
  for (int round = 0; round < 20000; ++round) {
    std::string text(1 + rng() % 120, 'A');
    for (auto& c : text) {
      const unsigned pick = rng() % 100;
      const char letter = base64ref::kAlphabet[rng() % 64];
      c = pick < 80 ? letter : pick < 88 ? '=' : pick < 96 ? static_cast<char>(letter | 0x80) : static_cast<char>(1 + rng() % 255);
    }
    const Decoded ours = Decode(codec, text);
    std::vector<char> theirs(text.size() + 1, '\x55');
    ASSERT_EQ(ours.count, base64ref::Decode(text.c_str(), theirs.data())) << text;
    ASSERT_EQ(ours.buffer, std::string(theirs.data(), theirs.size())) << text;
  }
}

// coreutils' base64 (without line wrapping) gives our text, and each side
// decodes the other's text to the file's bytes.
TEST(CBase64, AgreesWithCoreutilsOnRandomFiles) {
  const testenv::TempDir dir;
  const std::string data = dir.str() + "/data.bin", text = dir.str() + "/data.b64";
  std::mt19937 rng(1987);
  for (const std::size_t size : {1, 2, 3, 53, 54, 55, 1000, 65537}) {
    SCOPED_TRACE(size);
    const std::string bytes = RandomBytes(rng, size);
    testenv::WriteFile(data, bytes);
    const std::string theirs = testenv::RunCommand("base64 -w 0 '" + data + "'");
    EXPECT_EQ(Encode(bytes), theirs);
    const Decoded d = Decode(theirs);
    ASSERT_EQ(d.count, static_cast<int>(size));
    EXPECT_EQ(d.buffer.substr(0, size), bytes);
    testenv::WriteFile(text, Encode(bytes));
    EXPECT_EQ(testenv::RunCommand("base64 -d '" + text + "'"), bytes);
  }
}

}  // namespace
