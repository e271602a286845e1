// Crypt: the library's 64-bit block cipher on the Blowfish structure (18
// round keys, four S-boxes, 16 Feistel rounds, key expansion by enciphering),
// used in CBC mode over byte buffers. Its round function and key packing
// differ from published Blowfish, and stored data depends on them exactly.
// Blocks are read and written big-endian on every processor.
#pragma once

#include <zerth/Export.h>

#include <cstdint>

class ZERTH_API Crypt {
public:
  // One cipher block or chaining value: left half, then right half.
  struct Block {
    std::uint32_t left;
    std::uint32_t right;
  };

  // Expands the zero-terminated key. Only the last three of every four key
  // bytes reach the round keys; a key longer than 72 bytes is folded in over
  // further passes until it has been used up. An empty or null key mixes
  // nothing into the initial round keys (as if every key word were 0) and
  // then expands as usual, so it is a valid, fixed key.
  explicit Crypt(const unsigned char* key);
  explicit Crypt(const char* key) : Crypt(reinterpret_cast<const unsigned char*>(key)) {}

  // CBC over the whole 8-byte blocks of the buffer (length / 8 of them); the
  // last length % 8 bytes are left as they are. The chaining block is the
  // caller's initialisation vector and afterwards holds the last ciphertext
  // block, so consecutive calls continue one CBC stream.
  void Encrypt(unsigned char* buffer, std::uint32_t length, Block& chain) const;
  void Decrypt(unsigned char* buffer, std::uint32_t length, Block& chain) const;
  // The same from input to output; output bytes past the whole blocks are not written.
  void Encrypt(unsigned char* output, const unsigned char* input, std::uint32_t length, Block& chain) const;
  void Decrypt(unsigned char* output, const unsigned char* input, std::uint32_t length, Block& chain) const;

private:
  // XORs the key into the P-array, pass after pass until it has wrapped.
  void MixKey(const unsigned char* key);
  // Replaces P-array and S-boxes by the chain of 521 encipherments of zero.
  void ExpandKey();

  std::uint32_t F(std::uint32_t x) const;
  void X(Block& block, int i) const;
  void Encrypt(Block& block) const;
  void Decrypt(Block& block) const;

  std::uint32_t m_P[18];
  std::uint32_t m_S[4][256];

  static const std::uint32_t Init_P[18];
  static const std::uint32_t Init_S[4][256];
};
