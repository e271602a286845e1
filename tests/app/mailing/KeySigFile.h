// Signature footer files for tests: sealed like make-keysig seals them, with
// a forged length N or extra bytes where a test needs a damaged file.
#pragma once

#include "mailing/SignatureFooter.h"

#include <cstdint>
#include <string>

namespace testkeysig {

// The file bytes for a footer text; length overrides N (little-endian, the
// first 4 bytes), extra bytes are appended unenciphered after the text's
// whole blocks.
inline std::string Make(const std::string& text, std::int64_t length = -1, const std::string& tail = {}) {
  std::string file = SealSignatureFooter(text, kFooterKey);
  if (length >= 0)
    for (int i = 0; i < 4; ++i) file[i] = static_cast<char>((static_cast<std::uint64_t>(length) >> (8 * i)) & 0xFF);
  return file + tail;
}

}  // namespace testkeysig
