// Crypt: known answers, and the CBC rules: whole blocks only, the chaining
// block carried out, in place and copying alike.
#include <zerth/Crypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Bytes that differ from their neighbours, so misplaced bytes show.
Bytes Pattern(std::size_t length, unsigned seed) {
  Bytes out(length);
  for (auto& b : out) b = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 16);
  return out;
}

std::string Hex(const Bytes& bytes) {
  std::string out;
  for (unsigned char b : bytes) out += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 0xF]};
  return out;
}

std::string Hex(const Crypt::Block& block) {
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", unsigned{block.left}, unsigned{block.right});
  return text;
}

// In place, on a copy of data.
Bytes Cbc(const Crypt& crypt, bool encrypt, Bytes data, Crypt::Block& chain) {
  const auto length = static_cast<std::uint32_t>(data.size());
  encrypt ? crypt.Encrypt(data.data(), length, chain) : crypt.Decrypt(data.data(), length, chain);
  return data;
}

// Known answers of a second, plain implementation with its own pi digits
// whose skeleton met published Blowfish vectors: keys of 0, 1 and 22 bytes and
// around the 72 bytes of one pass, with bytes of every value but 0; two chains.
TEST(Crypt, KnownAnswersForEveryKeyLengthAndChain) {
  const std::tuple<std::size_t, Crypt::Block, const char*> cases[] = {
      {0, {0, 0}, "a1b1c805909b30a8752b6407df8083eee99d6736dc46a2d0"},
      {0, {0xffffffff, 0x80000001}, "232b8758b68e4a000d169545f640e609ee023b50e673e38a"},
      {1, {0, 0}, "d55eab81f7a96a4aada9efd7592b9ee221b3ae8ab7a7b8aa"},
      {1, {0xffffffff, 0x80000001}, "895216e4e4b1022b8e3b1b9df0f0f41bcdc211ebc844597a"},
      {22, {0, 0}, "63c57086b00936ccaac0f5c7a79cfe46fcc2e2ad2946d1b0"},
      {22, {0xffffffff, 0x80000001}, "03507b7070b7d308bf287758b2e9e2c0d5d0c257b90490db"},
      {71, {0, 0}, "2a95b0ad6fea840bd7ba31fad16de0482f54b68c32a59cbe"},
      {71, {0xffffffff, 0x80000001}, "9bde131c3614c7ef5f754a8bb1e2b0732bd053eafd3df6bf"},
      {72, {0, 0}, "b6966282ad1f918b1bfad623e4fc34082cc3900d81ad42bb"},
      {72, {0xffffffff, 0x80000001}, "1716e8fa4a9c9774cc837ec0687b91bf19db83b6d12bb71e"},
      {73, {0, 0}, "b87ad8170313a5bec193fefb648dd6353f6a639ef68f383f"},
      {73, {0xffffffff, 0x80000001}, "53c76828492ffda7bf3cfdbb27d4a9394b5198fb603a6d2f"},
      {200, {0, 0}, "76a02201b8d0b53efb7cd7c43be5595b994aecd831afca10"},
      {200, {0xffffffff, 0x80000001}, "0612267ab5d43884a421731c973e21953753ddd3b80ad6b9"},
  };
  for (auto [length, chain, cipher] : cases) {
    std::string key;
    for (unsigned char b : Pattern(length, static_cast<unsigned>(length))) key += static_cast<char>(b ? b : 0x80);
    EXPECT_EQ(Hex(Cbc(Crypt(key.c_str()), true, Pattern(24, static_cast<unsigned>(length + 24)), chain)), cipher)
        << length;
  }
}

// The bytes past the whole blocks stay as they are (copying: unwritten); the
// chaining block ends as the last ciphertext block, so that consecutive calls
// continue one stream; Decrypt undoes Encrypt.
TEST(Crypt, CbcInPlaceAndCopyingRoundTripAndCarryTheChain) {
  const Crypt crypt("round trip key");
  const Crypt::Block iv{0x01234567, 0x89abcdef};
  for (const std::size_t length : {0, 7, 8, 21, 4096 + 3}) {
    SCOPED_TRACE(length);
    const std::size_t whole = length / 8 * 8;
    const Bytes plain = Pattern(length, 3);
    Crypt::Block chain = iv;
    const Bytes cipher = Cbc(crypt, true, plain, chain);
    const std::string last = whole ? Hex(cipher).substr(2 * whole - 16, 16) : Hex(iv);
    EXPECT_EQ(Hex(chain), last);
    EXPECT_TRUE(std::equal(plain.begin() + whole, plain.end(), cipher.begin() + whole)) << "tail untouched";
    chain = iv;
    EXPECT_EQ(Cbc(crypt, false, cipher, chain), plain);
    EXPECT_EQ(Hex(chain), last);
    for (const bool encrypt : {true, false}) {
      const Bytes& from = encrypt ? plain : cipher;
      Bytes out(length, 0xA5), expected = encrypt ? cipher : plain;
      std::fill(expected.begin() + whole, expected.end(), 0xA5);
      chain = iv;
      const auto n = static_cast<std::uint32_t>(length);
      encrypt ? crypt.Encrypt(out.data(), from.data(), n, chain) : crypt.Decrypt(out.data(), from.data(), n, chain);
      EXPECT_EQ(out, expected) << (encrypt ? "Encrypt" : "Decrypt") << " copying";
      EXPECT_EQ(Hex(chain), last);
    }
  }
  Crypt::Block a{0, 0}, b{0, 0};
  EXPECT_EQ(Cbc(Crypt(static_cast<const unsigned char*>(nullptr)), true, Pattern(16, 1), a),
            Cbc(Crypt(""), true, Pattern(16, 1), b)) << "a null key is the empty key";
}

}  // namespace
