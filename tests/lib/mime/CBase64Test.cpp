// CBase64: the RFC 4648 vectors, the layout of padding, Decode's skipping of
// "=", its 7-bit look-up and failure cases, and agreement with the plain
// reference codec and with coreutils' base64 on random data.
#include "Base64Reference.h"

#include <zerth/CBase64.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <stdlib.h>

namespace {

std::string Encode(const std::string& data) {
  CBase64 codec;
  return codec.Encode(data.data(), static_cast<int>(data.size()));
}

// Decodes into a buffer of exactly the size Decode asks for, plus a guard
// byte past it that must survive.
struct Decoded {
  int count = 0;
  std::string buffer;  // the strlen(text) + 1 bytes Decode may write
};
Decoded Decode(CBase64& codec, const std::string& text, char fill = '\x55') {
  std::vector<char> out(text.size() + 2, fill);
  Decoded result;
  result.count = codec.Decode(text.c_str(), out.data());
  EXPECT_EQ(out.back(), fill) << "Decode wrote past strlen(text) + 1 bytes";
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

struct Vector {
  std::string data;
  std::string text;
};
const Vector kRfc4648[] = {
    {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(CBase64, EncodesTheRfc4648VectorsWithTheirPadding) {
  for (const auto& v : kRfc4648) EXPECT_EQ(Encode(v.data), v.text) << v.data;
}

TEST(CBase64, DecodesTheRfc4648VectorsAndEndsThemWithAZeroByte) {
  for (const auto& v : kRfc4648) {
    if (v.text.empty()) continue;
    const Decoded d = Decode(v.text);
    ASSERT_EQ(d.count, static_cast<int>(v.data.size())) << v.text;
    EXPECT_EQ(d.buffer.substr(0, v.data.size()), v.data);
    // Every byte after the data, up to strlen(text) + 1, was set to zero.
    EXPECT_EQ(d.buffer.substr(v.data.size()), std::string(v.text.size() + 1 - v.data.size(), '\0')) << v.text;
  }
}

TEST(CBase64, EncodeOfNullOrNoBytesIsEmpty) {
  CBase64 codec;
  EXPECT_EQ(codec.Encode(nullptr, 5), "");
  EXPECT_EQ(codec.Encode("abc", 0), "");
  EXPECT_EQ(codec.Encode("abc", -3), "");
}

TEST(CBase64, FiftyFourBytesMakeOneFullAttachmentLine) {
  std::mt19937 rng(54);
  const std::string text = Encode(RandomBytes(rng, 54));
  EXPECT_EQ(text.size(), 72u);
  EXPECT_EQ(text.find('='), std::string::npos);
}

// Decode's results by table: count, then the bytes written (the rest of the
// buffer is zero up to strlen(text) + 1).
struct DecodeCase {
  const char* name;
  std::string text;
  int count;
  std::string written;
};
const DecodeCase kDecodeCases[] = {
    {"one byte, padded", "Zg==", 1, "f"},
    {"equals sign between the characters", "Z=g=", 1, "f"},
    {"equals signs in front", "==Zg", 1, "f"},
    {"equals signs in the middle of groups", "Zm=9v=Ym=Fy", 6, "foobar"},
    {"no padding at all", "Zm9vYg", 4, "foob"},
    {"left-over bits dropped", "Zm9vY", 3, "foo"},
    {"a single character gives no byte", "Z", 0, ""},
    {"only equals signs", "====", 0, ""},
    {"high bit ignored", "\xDA\xED\xB9\xF6", 3, "foo"},
    {"high bit on the equals sign", "Zg\xBD\xBD", 1, "f"},
    {"stray bits kept in the next byte", "Zh==", 1, "f"},
    {"line feed stops the decoding", "Zm9v\nYmFy", 0, "foo"},
    {"carriage return and line feed", "Zm9vYmFy\r\n", 0, "foobar"},
    {"blank, after the first byte was complete", "Zm 9v", 0, "f"},
    {"invalid keeps every byte completed before it", "Zm9vYm*y", 0, "foob"},
    {"0x80 counts as NUL, not a character", "Zm9v\x80", 0, "foo"},
    {"minus and underscore of the URL alphabet", "-_-_", 0, ""},
};

TEST(CBase64, DecodeResultsAndBytesWritten) {
  for (const auto& c : kDecodeCases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(c.text);
    EXPECT_EQ(d.count, c.count);
    std::string expected = c.written;
    expected.resize(c.text.size() + 1, '\0');
    EXPECT_EQ(d.buffer, expected);
  }
}

TEST(CBase64, DecodeOfNullOrEmptyLeavesTheBufferUntouched) {
  CBase64 codec;
  char out[8];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(codec.Decode(nullptr, out), 0);
  EXPECT_EQ(codec.Decode("", out), 0);
  EXPECT_EQ(std::string(out, sizeof out), std::string(sizeof out, 'x'));
  EXPECT_EQ(codec.Decode("Zm9v", nullptr), 0);
}

TEST(CBase64, OneObjectDecodesTextAfterTextAsFreshObjectsDo) {
  // The second text of each pair starts where the first left bits over.
  const std::pair<std::string, std::string> pairs[] = {
      {"Zm9vY", "Zm9v"}, {"Zg=", "Zm8="}, {"Zm9v*", "YmFy"}, {"Z", "Zg=="}};
  for (const auto& [first, second] : pairs) {
    CBase64 shared;
    Decode(shared, first);
    const Decoded again = Decode(shared, second);
    const Decoded fresh = Decode(second);
    EXPECT_EQ(again.count, fresh.count) << first << " then " << second;
    EXPECT_EQ(again.buffer, fresh.buffer) << first << " then " << second;
  }
  CBase64 shared;
  const std::string a = shared.Encode("fo", 2);
  EXPECT_EQ(shared.Encode("foobar", 6), "Zm9vYmFy") << "after " << a;
}

TEST(CBase64, RandomDataRoundTripsAndMatchesTheReference) {
  std::mt19937 rng(20261207);
  CBase64 codec;
  for (int round = 0; round < 2000; ++round) {
    const std::string data = RandomBytes(rng, rng() % 300);
    const std::string text = codec.Encode(data.data(), static_cast<int>(data.size()));
    ASSERT_EQ(text, base64ref::Encode(data.data(), static_cast<int>(data.size())));
    if (data.empty()) continue;
    const Decoded d = Decode(codec, text);
    ASSERT_EQ(d.count, static_cast<int>(data.size()));
    ASSERT_EQ(d.buffer.substr(0, data.size()), data);
  }
}

// Text built mostly from the alphabet with "=", high-bit twins and the odd
// invalid character mixed in, so that every path of Decode is taken.
std::string RandomText(std::mt19937& rng) {
  std::string text(1 + rng() % 120, 'A');
  for (auto& c : text) {
    const unsigned pick = rng() % 100;
    if (pick < 80)
      c = base64ref::kAlphabet[rng() % 64];
    else if (pick < 88)
      c = '=';
    else if (pick < 96)
      c = static_cast<char>(base64ref::kAlphabet[rng() % 64] | 0x80);
    else
      c = static_cast<char>(1 + rng() % 255);
  }
  return text;
}

TEST(CBase64, DecodeOfRandomTextMatchesTheReferenceByteForByte) {
  std::mt19937 rng(4648);
  CBase64 codec;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomText(rng);
    const Decoded ours = Decode(codec, text);
    std::vector<char> theirs(text.size() + 1, '\x55');
    const int count = base64ref::Decode(text.c_str(), theirs.data());
    ASSERT_EQ(ours.count, count) << text;
    ASSERT_EQ(ours.buffer, std::string(theirs.data(), theirs.size())) << text;
  }
}

// coreutils' base64 on random files: its text (without line wrapping) is
// ours, and each side decodes the other's text to the file's bytes.
class Base64Program : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/zerth-base64-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  static std::string Run(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr) << command;
    if (pipe == nullptr) return output;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    EXPECT_EQ(::pclose(pipe), 0) << command;
    return output;
  }
  static void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }

  std::filesystem::path m_dir;
};

TEST_F(Base64Program, AgreesWithCoreutilsOnRandomFiles) {
  std::mt19937 rng(1987);
  const std::size_t sizes[] = {1, 2, 3, 53, 54, 55, 1000, 4095, 65537};
  for (const std::size_t size : sizes) {
    SCOPED_TRACE(size);
    const std::string data = RandomBytes(rng, size);
    const auto file = m_dir / "data.bin";
    Write(file, data);
    const std::string theirs = Run("base64 -w 0 '" + file.string() + "'");
    EXPECT_EQ(Encode(data), theirs);

    CBase64 codec;
    const Decoded d = Decode(codec, theirs);
    ASSERT_EQ(d.count, static_cast<int>(size));
    EXPECT_EQ(d.buffer.substr(0, size), data);

    const auto text = m_dir / "data.b64";
    Write(text, Encode(data));
    EXPECT_EQ(Run("base64 -d '" + text.string() + "'"), data);
  }
}

}  // namespace
