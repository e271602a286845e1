// The signature footer file key.sig: a 4-byte little-endian length N (1 to
// 100000), then the footer enciphered with Crypt in CBC mode from a zero
// chaining block. The footer is the first N bytes of the deciphered data.
#pragma once

#include <string>

enum class FooterStatus {
  Ok,
  CannotOpen,   // the file cannot be opened
  CannotRead,   // fewer than 4 bytes, or not all of the rest, could be read
  BadFormat,    // N outside 1..100000, or beyond the data that follows it
};

inline constexpr int kMaxFooterLength = 100000;

// Reads and deciphers the footer under the key; footer is set only on Ok.
FooterStatus ReadSignatureFooter(const std::string& path, const std::string& key, std::string& footer);
