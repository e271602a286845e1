// BSTR texts and their UTF-8 conversions, and GUIDs as text.
#include <zplatform/Com.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

// The byte count before the text, as Windows stores it.
using LengthPrefix = std::uint32_t;

constexpr char32_t kReplacement = 0xFFFD;

// The longest text whose byte count, prefix and terminating zero fit the
// 32-bit prefix.
constexpr UINT kMaxBstrChars = (std::numeric_limits<LengthPrefix>::max() - sizeof(LengthPrefix)) / sizeof(OLECHAR) - 1;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
    return;
  }
  c -= 0x10000;
  out += static_cast<char16_t>(0xD800 | (c >> 10));
  out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one character at the front of text and removes what it used. A
// sequence that is not well-formed UTF-8 (overlong forms, surrogates, beyond
// U+10FFFF, cut short) gives U+FFFD and uses its longest valid beginning, at
// least one byte, so that the next character starts where a reader would
// resynchronise.
char32_t TakeUtf8(std::string_view& text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  char32_t c = 0;
  // The range the second byte must lie in rules out overlong forms,
  // surrogates and values beyond U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead < 0x80) {
    text.remove_prefix(1);
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    text.remove_prefix(1);
    return kReplacement;
  }
  std::size_t used = 1;
  for (; used < length; ++used) {
    if (used >= text.size()) break;
    const auto byte = static_cast<unsigned char>(text[used]);
    if (!IsContinuation(byte) || (used == 1 && (byte < low || byte > high))) break;
    c = (c << 6) | (byte & 0x3F);
  }
  text.remove_prefix(used);
  return used == length ? c : kReplacement;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > kMaxBstrChars) return nullptr;
  const LengthPrefix bytes = static_cast<LengthPrefix>(ui * sizeof(OLECHAR));
  // malloc's alignment suits both the prefix and the characters after it.
  void* block = std::malloc(sizeof(LengthPrefix) + bytes + sizeof(OLECHAR));
  if (!block) return nullptr;
  std::memcpy(block, &bytes, sizeof bytes);
  auto* text = reinterpret_cast<OLECHAR*>(static_cast<char*>(block) + sizeof(LengthPrefix));
  if (strIn) {
    std::memcpy(text, strIn, bytes);
  } else {
    std::memset(text, 0, bytes);
  }
  text[ui] = 0;
  return text;
}

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  std::size_t length = 0;
  while (psz[length] != 0) {
    if (length == kMaxBstrChars) return nullptr;
    ++length;
  }
  return SysAllocStringLen(psz, static_cast<UINT>(length));
}

void SysFreeString(BSTR bstrString) {
  if (bstrString) std::free(reinterpret_cast<char*>(bstrString) - sizeof(LengthPrefix));
}

UINT SysStringLen(BSTR bstrString) {
  if (!bstrString) return 0;
  LengthPrefix bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<const char*>(bstrString) - sizeof(LengthPrefix), sizeof bytes);
  return bytes / sizeof(OLECHAR);
}

namespace zplatform {

std::string GuidToString(REFGUID guid) {
  char text[39];  // 38 characters and the zero
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(guid.Data1),
                static_cast<unsigned>(guid.Data2), static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1],
                guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string BstrToUtf8(BSTR text) {
  const UINT length = SysStringLen(text);
  std::string out;
  out.reserve(length);
  for (UINT i = 0; i < length; ++i) {
    const char16_t unit = text[i];
    char32_t c = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      c = kReplacement;  // a surrogate without its partner
    }
    AppendUtf8(out, c);
  }
  return out;
}

BSTR Utf8ToBstr(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  while (!text.empty()) AppendUtf16(wide, TakeUtf8(text));
  if (wide.size() > kMaxBstrChars) return nullptr;
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace zplatform
