// Crypt against crypt_reference.py, a plain Python implementation whose
// skeleton meets published Blowfish vectors first; and the CBC rules: whole
// blocks only, the chaining block carried out, in place and copying alike.
#include "TestEnv.h"

#include <zerth/Crypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Bytes that differ from their neighbours, so misplaced bytes show.
Bytes Pattern(std::size_t length, unsigned seed) {
  Bytes out(length);
  for (auto& b : out) b = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 16);
  return out;
}

// Hex text; "-" for no bytes, as the reference reads and writes it.
std::string Hex(const Bytes& bytes) {
  std::string out = bytes.empty() ? "-" : "";
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

// Keys of 0, 1 and 22 bytes, and around the 72 bytes of one pass with bytes
// of every value but 0; two chaining blocks; a partial block, several, none.
TEST(CryptReference, AgreesOnEveryKeyChainAndLength) {
  std::vector<std::string> keys = {"", "\xff", "KDW Tansy Lanterns 2.7"};
  for (const std::size_t length : {71, 72, 73, 200}) {
    std::string& key = keys.emplace_back();
    for (unsigned char b : Pattern(length, static_cast<unsigned>(length))) key += static_cast<char>(b ? b : 0x80);
  }
  std::ostringstream input, ours;  // the reference's input, and our answers in its format
  for (const std::string& key : keys)
    for (const Crypt::Block iv : {Crypt::Block{0, 0}, Crypt::Block{0xffffffff, 0x80000001}})
      for (const std::size_t length : {5, 21, 64}) {
        const Bytes plain = Pattern(length, static_cast<unsigned>(key.size() + length));
        input << Hex(Bytes(key.begin(), key.end())) << ' ' << Hex(iv) << ' ' << Hex(plain) << '\n';
        Crypt::Block chain = iv;
        ours << Hex(Cbc(Crypt(key.c_str()), true, plain, chain)) << ' ' << Hex(chain) << '\n';
      }
  const testenv::TempDir dir;
  testenv::WriteFile(dir.path() / "cases.txt", input.str());
  EXPECT_EQ(testenv::RunCommand("/usr/bin/python3 " CRYPT_REFERENCE_SCRIPT " < " + (dir.path() / "cases.txt").string()),
            ours.str());
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
            Cbc(Crypt(""), true, Pattern(16, 1), b))
      << "a null key is the empty key";
}

}  // namespace
