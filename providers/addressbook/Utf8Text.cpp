#include <addressbook/Utf8Text.h>

#include <zplatform/AsciiText.h>

#include <array>
#include <cerrno>

namespace addressbook {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 character at the start of text, or 0 when it
// is not one; *bad then tells how many bytes form the maximal invalid part.
std::size_t ValidCharLength(std::string_view text, std::size_t& bad) {
  const auto b0 = static_cast<unsigned char>(text[0]);
  std::size_t need = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    bad = 1;
    return 0;
  }
  std::size_t i = 1;
  for (; i <= need && i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < low || b > high) break;
    low = 0x80;
    high = 0xBF;
  }
  if (i == need + 1) return i;
  bad = i;
  return 0;
}

bool IsPlausibleCharsetName(std::string_view name) {
  // Only letters, digits and the punctuation of real charset names reach
  // iconv_open; a name is a short word, never a path or option string.
  if (name.empty() || name.size() > 40) return false;
  for (const char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '_' || c == '.' || c == ':';
    if (!ok) return false;
  }
  return true;
}

bool IsUtf8Name(std::string_view name) {
  using zplatform::EqualsNoCase;
  return EqualsNoCase(name, "UTF-8") || EqualsNoCase(name, "UTF8") || EqualsNoCase(name, "US-ASCII") ||
         EqualsNoCase(name, "ASCII");
}

}  // namespace

void AppendRepairedUtf8(std::string& out, std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // Runs of plain ASCII are copied in one piece.
    std::size_t run = i;
    while (run < text.size() && static_cast<unsigned char>(text[run]) < 0x80 && text[run] != '\0') ++run;
    out.append(text.substr(i, run - i));
    i = run;
    if (i == text.size()) break;
    if (text[i] == '\0') {
      out += kReplacement;
      ++i;
      continue;
    }
    std::size_t bad = 0;
    const std::size_t length = ValidCharLength(text.substr(i), bad);
    if (length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += kReplacement;
      i += bad;
    }
  }
}

std::string RepairedUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendRepairedUtf8(out, text);
  return out;
}

CharsetConverter::~CharsetConverter() { Close(); }

void CharsetConverter::Close() {
  if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  cd_ = reinterpret_cast<iconv_t>(-1);
  charset_.clear();
}

bool CharsetConverter::Open(std::string_view charset) {
  if (cd_ != reinterpret_cast<iconv_t>(-1) && zplatform::EqualsNoCase(charset_, charset)) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    return true;
  }
  Close();
  const std::string name(charset);
  cd_ = iconv_open("UTF-8", name.c_str());
  if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
  charset_ = name;
  return true;
}

std::string CharsetConverter::ToUtf8(std::string_view text, std::string_view charset) {
  if (charset.empty() || IsUtf8Name(charset) || !IsPlausibleCharsetName(charset) || !Open(charset))
    return RepairedUtf8(text);
  std::string converted;
  converted.reserve(text.size() + text.size() / 2);
  std::array<char, 4096> buffer;
  char* in = const_cast<char*>(text.data());  // iconv's signature; the input is not written
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t result = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
    converted.append(buffer.data(), buffer.size() - outLeft);
    if (result != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // An undefined byte (EILSEQ) or a sequence cut short at the end (EINVAL):
    // one replacement character, then on with the next byte.
    converted += kReplacement;
    ++in;
    --inLeft;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  }
  // Flush a stateful encoding's closing sequence.
  char* outPtr = buffer.data();
  std::size_t outLeft = buffer.size();
  iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
  converted.append(buffer.data(), buffer.size() - outLeft);
  // iconv writes valid UTF-8, but NULs pass through it unchanged.
  return RepairedUtf8(converted);
}

}  // namespace addressbook
