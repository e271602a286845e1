// A plain Base64 codec written straight from the bit reader and writer that
// define CBase64's results, one bit group at a time with no tables: the
// yardstick for the library's table-driven codec in tests and fuzzing.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace base64ref {

inline const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

inline std::string Encode(const char* data, int length) {
  if (data == nullptr) return {};
  std::string text;
  std::uint32_t store = 0;
  int bits = 0, current = 0;
  for (;;) {
    while (bits < 6 && current < length) {
      store = (store << 8) | static_cast<unsigned char>(data[current++]);
      bits += 8;
    }
    if (bits == 0) break;
    // A last group of fewer than six bits is filled with zeros on the right.
    const int shift = bits - 6;
    text += kAlphabet[(shift < 0 ? store << -shift : store >> shift) & 63];
    bits = shift < 0 ? 0 : shift;
  }
  while (text.size() % 4 != 0) text += '=';
  return text;
}

// out must hold strlen(text) + 1 bytes.
inline int Decode(const char* text, char* out) {
  if (text == nullptr || out == nullptr || *text == '\0') return 0;
  const std::size_t length = std::strlen(text);
  std::memset(out, 0, length + 1);
  std::uint32_t store = 0;
  int bits = 0, written = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = static_cast<char>(text[i] & 0x7F);
    if (c == '=') continue;
    const char* found = c == '\0' ? nullptr : std::strchr(kAlphabet, c);
    if (found == nullptr) return 0;
    store = (store << 6) | static_cast<std::uint32_t>(found - kAlphabet);
    bits += 6;
    while (bits > 7) {
      out[written++] = static_cast<char>((store >> (bits - 8)) & 0xFF);
      bits -= 8;
    }
  }
  return written;
}

}  // namespace base64ref
