// The signature footer file key.sig, read by the program and written by
// make-keysig: a 4-byte little-endian length N (1 to 100000), then the footer
// padded with zero bytes to whole 8-byte blocks and enciphered with Crypt in
// CBC mode from a zero chaining block under the footer key. The footer is the
// first N bytes of the deciphered data.
#pragma once

#include <string>
#include <string_view>

// The key key.sig is sealed under. The program takes it from its string
// table (IDS_FOOTER_KEY), whose entry is this text.
inline constexpr char kFooterKey[] = "KDW Tansy Lanterns 2.7";

enum class FooterStatus {
  Ok,
  CannotOpen,   // the file cannot be opened
  CannotRead,   // fewer than 4 bytes, or not all of the rest, could be read
  BadFormat,    // N outside 1..100000, or beyond the data that follows it
};

inline constexpr int kMaxFooterLength = 100000;

// Reads and deciphers the footer under the key; footer is set only on Ok.
FooterStatus ReadSignatureFooter(const std::string& path, const std::string& key, std::string& footer);

// The bytes of a key.sig file holding footer, sealed under key. N is the
// footer's length as given: the reader takes only 1 to kMaxFooterLength, so
// callers check that first.
std::string SealSignatureFooter(std::string_view footer, const std::string& key);
