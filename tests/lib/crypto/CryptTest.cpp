// Crypt: pinned known answers, CBC round trips and chaining, the untouched
// partial block, and the key packing rules.
#include "CryptTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace crypttest;

namespace {

bool operator==(const Crypt::Block& a, const Crypt::Block& b) {
  return a.left == b.left && a.right == b.right;
}

// The key bytes from, from + 1, ..., to.
std::string Counting(int from, int to) {
  std::string key;
  for (int c = from; c <= to; ++c) key += static_cast<char>(c);
  return key;
}

// Computed with the Crypt class of crypt_reference.py, the independent Python
// implementation that its `selfcheck` ties to published Blowfish vectors.
struct KnownAnswer {
  const char* name;
  std::string key;
  Crypt::Block iv;
  const char* plain;
  const char* cipher;
  Crypt::Block chain;
};

const KnownAnswer kKnownAnswers[] = {
    {"FooterKeyText", "KDW Tansy Lanterns 2.7", {0, 0},
     "2d2d0a53656e74207769746820546172766f2e0a00000000",
     "45ef7fa3f1274225104f4078613949202ea9320815a1a502", {0x2ea93208, 0x15a1a502}},
    {"FooterKeyZeros", "KDW Tansy Lanterns 2.7", {0, 0},
     "00000000000000000000000000000000",
     "2cd40081f0a7f3a86d5bbbd6e1d17195", {0x6d5bbbd6, 0xe1d17195}},
    {"OneByteKey", "A", {0, 0}, "4142434445464748", "0036eca09a9cbc61", {0x0036eca0, 0x9a9cbc61}},
    {"EmptyKey", "", {0, 0}, "0000000000000000", "7a0606119bc6735c", {0x7a060611, 0x9bc6735c}},
    {"KeyOf73BytesWithIv", Counting(1, 73),
     {0xf0f1f2f3, 0xf4f5f6f7}, "808182838485868788898a8b8c8d8e8f9091929394959697",
     "ae215a59eb4967b0833b783462f05b50b32ad395fc3f88bc", {0xb32ad395, 0xfc3f88bc}},
};

TEST(Crypt, KnownAnswersEncipherAndDecipherExactly) {
  for (const KnownAnswer& v : kKnownAnswers) {
    SCOPED_TRACE(v.name);
    const Crypt crypt(v.key.c_str());
    Crypt::Block chain = v.iv;
    const Bytes cipher = Encrypted(crypt, FromHex(v.plain), chain);
    EXPECT_EQ(ToHex(cipher), v.cipher);
    EXPECT_TRUE(chain == v.chain);
    chain = v.iv;
    EXPECT_EQ(ToHex(Decrypted(crypt, cipher, chain)), v.plain);
    EXPECT_TRUE(chain == v.chain);
  }
}

// Round trips over lengths around the block size; the partial tail stays put.
TEST(Crypt, RoundTripsAndLeavesTailAndChainAsDescribed) {
  const Crypt crypt("round trip key");
  const Crypt::Block iv{0x01234567, 0x89abcdef};
  for (const std::size_t length : {0, 7, 8, 20, 4096 + 3}) {
    SCOPED_TRACE(length);
    const std::size_t whole = length / 8 * 8;
    const Bytes plain = Pattern(length);
    Crypt::Block chain = iv;
    const Bytes cipher = Encrypted(crypt, plain, chain);
    const Crypt::Block expected = whole ? BlockAt(cipher, whole - 8) : iv;
    EXPECT_TRUE(chain == expected) << "after Encrypt";
    EXPECT_TRUE(std::equal(plain.begin() + whole, plain.end(), cipher.begin() + whole)) << "partial tail untouched";
    chain = iv;
    EXPECT_EQ(Decrypted(crypt, cipher, chain), plain);
    EXPECT_TRUE(chain == expected) << "after Decrypt";
  }
}

// The copying forms write exactly the whole blocks and agree with in place.
TEST(Crypt, CopyingFormsMatchInPlaceAndWriteNothingPastTheWholeBlocks) {
  const Crypt crypt("copy key");
  const Bytes plain = Pattern(21, 3);
  Crypt::Block inPlaceChain{7, 9};
  const Bytes inPlace = Encrypted(crypt, plain, inPlaceChain);
  // What a copying call must leave in a buffer of 0xA5 bytes.
  auto expected = [](const Bytes& from) {
    Bytes out(from.begin(), from.begin() + 16);
    out.resize(from.size(), 0xA5);
    return out;
  };

  Bytes out(21, 0xA5);
  Crypt::Block chain{7, 9};
  crypt.Encrypt(out.data(), plain.data(), 21, chain);
  EXPECT_EQ(out, expected(inPlace));
  EXPECT_TRUE(chain == inPlaceChain);

  Bytes back(21, 0xA5);
  chain = {7, 9};
  crypt.Decrypt(back.data(), inPlace.data(), 21, chain);
  EXPECT_EQ(back, expected(plain));
  EXPECT_TRUE(chain == inPlaceChain);
}

// Consecutive calls with the chaining block passed along form one stream.
TEST(Crypt, SplitCallsContinueOneStream) {
  const Crypt crypt("stream key");
  const Bytes plain = Pattern(4096 + 8, 5);
  for (std::size_t split : {std::size_t{8}, std::size_t{4000}}) {
    SCOPED_TRACE(split);
    Crypt::Block whole{0, 0};
    const Bytes once = Encrypted(crypt, plain, whole);

    Crypt::Block chain{0, 0};
    Bytes twice = Encrypted(crypt, Bytes(plain.begin(), plain.begin() + split), chain);
    const Bytes rest = Encrypted(crypt, Bytes(plain.begin() + split, plain.end()), chain);
    twice.insert(twice.end(), rest.begin(), rest.end());
    EXPECT_EQ(twice, once);
    EXPECT_TRUE(chain == whole);

    chain = {0, 0};
    Bytes back = Decrypted(crypt, Bytes(once.begin(), once.begin() + split), chain);
    const Bytes backRest = Decrypted(crypt, Bytes(once.begin() + split, once.end()), chain);
    back.insert(back.end(), backRest.begin(), backRest.end());
    EXPECT_EQ(back, plain);
  }
}

// Which keys expand alike: only the last three of each four bytes count, and
// keys over 72 bytes are folded in again from where the first pass stopped.
struct KeyPair {
  const char* name;
  std::string a;
  std::string b;
  bool same;
};

std::string WithByte(std::string key, std::size_t at, char value) {
  key[at] = value;
  return key;
}

std::string EveryFourth(std::string key, char value) {
  for (std::size_t at = 0; at < key.size(); at += 4) key[at] = value;
  return key;
}

const std::string kKey72 = "The quick brown fox jumps over the lazy dog; pack my box with liquor jug";
const std::string kKey73 = kKey72 + "!";

const KeyPair kKeyPairs[] = {
    {"Key72DifferingInEveryFourthByte", kKey72, EveryFourth(kKey72, '#'), true},
    {"Key72DifferingInLastByte", kKey72, WithByte(kKey72, 71, '#'), false},
    {"Key5FirstByteReachesSecondWord", "abcde", "xbcde", false},
    {"OneByteEqualsItRepeated72Times", "A", std::string(72, 'A'), true},
    {"OneByteDiffersFromAnother", "A", "B", false},
    {"Key73SecondPassUsesFirstByte", kKey73, WithByte(kKey73, 0, '#'), false},
    // The second pass opens with byte 72 as the first of four: it never counts.
    {"Key73LastByteHasNoEffect", kKey73, WithByte(kKey73, 72, '#'), true},
    {"EmptyDiffersFromOneByte", "", "\x01", false},
};

TEST(Crypt, KeysExpandAlikeExactlyWhenTheRulesSaySo) {
  const Bytes plain = Pattern(64, 9);
  for (const KeyPair& pair : kKeyPairs)
    EXPECT_EQ(CipherOf(Crypt(pair.a.c_str()), plain) == CipherOf(Crypt(pair.b.c_str()), plain), pair.same)
        << pair.name;
}

TEST(Crypt, NullKeyExpandsLikeEmptyKey) {
  const Bytes plain = Pattern(16, 11);
  EXPECT_EQ(CipherOf(Crypt(static_cast<const unsigned char*>(nullptr)), plain), CipherOf(Crypt(""), plain));
}

}  // namespace
