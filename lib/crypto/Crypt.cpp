// Crypt: key expansion, the block cipher and CBC over byte buffers.
//
// The private helpers are defined inline here, ahead of their callers, so the
// compiler folds a whole block encipherment into the CBC loops despite -fPIC:
// the rounds then run on two registers with no calls in between.
#include "zerth/Crypt.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace {

constexpr std::uint32_t kBlockBytes = 8;

// Big-endian on every processor: first byte most significant.
inline std::uint32_t LoadWord(const unsigned char* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | std::uint32_t{bytes[3]};
}

inline void StoreWord(std::uint32_t word, unsigned char* bytes) {
  bytes[0] = static_cast<unsigned char>(word >> 24);
  bytes[1] = static_cast<unsigned char>(word >> 16);
  bytes[2] = static_cast<unsigned char>(word >> 8);
  bytes[3] = static_cast<unsigned char>(word);
}

inline Crypt::Block LoadBlock(const unsigned char* bytes) {
  return {LoadWord(bytes), LoadWord(bytes + 4)};
}

inline void StoreBlock(const Crypt::Block& block, unsigned char* bytes) {
  StoreWord(block.left, bytes);
  StoreWord(block.right, bytes + 4);
}

}  // namespace

inline std::uint32_t Crypt::F(std::uint32_t x) const {
  // Highest byte into S3, lowest into S0, the two sums joined by XOR: this is
  // where the cipher parts from published Blowfish.
  return (m_S[3][x >> 24] + m_S[2][(x >> 16) & 0xFF]) ^
         (m_S[1][(x >> 8) & 0xFF] + m_S[0][x & 0xFF]);
}

inline void Crypt::X(Block& block, int i) const {
  const std::uint32_t t = block.left ^ m_P[i];
  block.left = block.right ^ F(t);
  block.right = t;
}

inline void Crypt::Encrypt(Block& block) const {
  Block b = block;
  X(b, 0);  X(b, 1);  X(b, 2);  X(b, 3);
  X(b, 4);  X(b, 5);  X(b, 6);  X(b, 7);
  X(b, 8);  X(b, 9);  X(b, 10); X(b, 11);
  X(b, 12); X(b, 13); X(b, 14); X(b, 15);
  // The last exchange is undone while the outer round keys go in.
  block.left = b.right ^ m_P[17];
  block.right = b.left ^ m_P[16];
}

inline void Crypt::Decrypt(Block& block) const {
  Block b = block;
  X(b, 17); X(b, 16); X(b, 15); X(b, 14);
  X(b, 13); X(b, 12); X(b, 11); X(b, 10);
  X(b, 9);  X(b, 8);  X(b, 7);  X(b, 6);
  X(b, 5);  X(b, 4);  X(b, 3);  X(b, 2);
  block.left = b.right ^ m_P[0];
  block.right = b.left ^ m_P[1];
}

Crypt::Crypt(const unsigned char* key) {
  std::copy(std::begin(Init_P), std::end(Init_P), std::begin(m_P));
  for (std::size_t box = 0; box < 4; ++box)
    std::copy(std::begin(Init_S[box]), std::end(Init_S[box]), std::begin(m_S[box]));
  MixKey(key);
  ExpandKey();
}

void Crypt::MixKey(const unsigned char* key) {
  // An empty key has no byte to start from; it leaves the round keys as they are.
  if (key == nullptr || *key == 0)
    return;
  const unsigned char* cursor = key;
  bool wrapped = false;
  do {
    for (std::uint32_t& p : m_P) {
      std::uint32_t word = 0;
      for (int n = 0; n < 4; ++n) {
        // The shift comes after each byte, so the first of the four leaves
        // the word again and the lowest byte stays zero. Stored data relies on it.
        word |= *cursor;
        if (*++cursor == 0) {
          cursor = key;
          wrapped = true;
        }
        word <<= 8;
      }
      p ^= word;
    }
  } while (!wrapped);
}

void Crypt::ExpandKey() {
  Block block{0, 0};
  for (std::size_t i = 0; i < 18; i += 2) {
    Encrypt(block);
    m_P[i] = block.left;
    m_P[i + 1] = block.right;
  }
  for (auto& box : m_S) {
    for (std::size_t j = 0; j < 256; j += 2) {
      Encrypt(block);
      box[j] = block.left;
      box[j + 1] = block.right;
    }
  }
}

void Crypt::Encrypt(unsigned char* buffer, std::uint32_t length, Block& chain) const {
  Encrypt(buffer, buffer, length, chain);
}

void Crypt::Decrypt(unsigned char* buffer, std::uint32_t length, Block& chain) const {
  Decrypt(buffer, buffer, length, chain);
}

void Crypt::Encrypt(unsigned char* output, const unsigned char* input, std::uint32_t length,
                    Block& chain) const {
  // The chaining value stays in a local: stores through the byte pointer
  // could otherwise alias it and force a reload every block.
  Block last = chain;
  for (std::uint32_t n = length / kBlockBytes; n > 0; --n) {
    Block block = LoadBlock(input);
    block.left ^= last.left;
    block.right ^= last.right;
    Encrypt(block);
    StoreBlock(block, output);
    last = block;
    input += kBlockBytes;
    output += kBlockBytes;
  }
  chain = last;
}

void Crypt::Decrypt(unsigned char* output, const unsigned char* input, std::uint32_t length,
                    Block& chain) const {
  Block last = chain;
  for (std::uint32_t n = length / kBlockBytes; n > 0; --n) {
    // Read the whole ciphertext block before writing: in place they share bytes.
    const Block cipher = LoadBlock(input);
    Block block = cipher;
    Decrypt(block);
    block.left ^= last.left;
    block.right ^= last.right;
    StoreBlock(block, output);
    last = cipher;
    input += kBlockBytes;
    output += kBlockBytes;
  }
  chain = last;
}
