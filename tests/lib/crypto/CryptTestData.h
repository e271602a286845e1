// Helpers shared by the Crypt tests: byte buffers, hex text, and one-call
// encipher/decipher of a whole buffer.
#pragma once

#include "zerth/Crypt.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace crypttest {

using Bytes = std::vector<unsigned char>;

inline Bytes FromHex(std::string_view hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<unsigned char>(std::stoul(std::string(hex.substr(i, 2)), nullptr, 16)));
  return out;
}

inline std::string ToHex(const Bytes& bytes) {
  std::string out;
  for (unsigned char b : bytes) out += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 0xF]};
  return out;
}

inline Bytes FromText(std::string_view text) { return Bytes(text.begin(), text.end()); }

// A buffer whose bytes all differ from their neighbours, so misplaced bytes show.
inline Bytes Pattern(std::size_t length, unsigned seed = 1) {
  Bytes out(length);
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (auto& b : out) {
    state = state * 1103515245u + 12345u;
    b = static_cast<unsigned char>(state >> 16);
  }
  return out;
}

// The block stored at bytes[offset], read most significant byte first.
inline Crypt::Block BlockAt(const Bytes& bytes, std::size_t offset) {
  auto word = [&](std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
  };
  return {word(offset), word(offset + 4)};
}

inline Bytes Encrypted(const Crypt& crypt, Bytes data, Crypt::Block& chain) {
  crypt.Encrypt(data.data(), static_cast<std::uint32_t>(data.size()), chain);
  return data;
}

// The ciphertext alone, from a zero chaining block.
inline Bytes CipherOf(const Crypt& crypt, const Bytes& data) {
  Crypt::Block chain{0, 0};
  return Encrypted(crypt, data, chain);
}

inline Bytes Decrypted(const Crypt& crypt, Bytes data, Crypt::Block& chain) {
  crypt.Decrypt(data.data(), static_cast<std::uint32_t>(data.size()), chain);
  return data;
}

}  // namespace crypttest
