// Builds signature footer files for tests: N, then the text enciphered under
// the footer key from a zero chaining block.
#pragma once

#include <zerth/Crypt.h>

#include <cstdint>
#include <string>

namespace testkeysig {

inline constexpr char kFooterKey[] = "KDW Tansy Lanterns 2.7";

// The file bytes for a footer text; length overrides N, extra bytes are
// appended unenciphered after the text's whole blocks.
inline std::string Make(const std::string& text, std::int64_t length = -1, const std::string& tail = {}) {
  std::string cipher = text;
  cipher.resize((text.size() + 7) / 8 * 8, '\0');
  Crypt crypt(kFooterKey);
  Crypt::Block chain{0, 0};
  crypt.Encrypt(reinterpret_cast<unsigned char*>(cipher.data()), static_cast<std::uint32_t>(cipher.size()), chain);
  const auto n = static_cast<std::uint32_t>(length < 0 ? static_cast<std::int64_t>(text.size()) : length);
  std::string file;
  for (int shift = 0; shift < 32; shift += 8) file += static_cast<char>((n >> shift) & 0xFF);
  return file + cipher + tail;
}

}  // namespace testkeysig
