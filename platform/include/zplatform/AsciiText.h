// Small text helpers for protocol words, file-format keywords and settings:
// case is ignored for the ASCII letters only (whatever the locale, and never
// inside a multi-byte character), and white space is the C locale's.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace zplatform {

inline constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

constexpr char ToLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](char c) { return ToLowerAscii(c); });
  return out;
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return ToLowerAscii(x) == ToLowerAscii(y); });
}

constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

constexpr bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// Multi-byte characters are all above 0x7F, so trimming keeps them whole.
constexpr std::string_view TrimLeft(std::string_view text) {
  const auto first = text.find_first_not_of(kWhiteSpace);
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

constexpr std::string_view TrimRight(std::string_view text) {
  const auto last = text.find_last_not_of(kWhiteSpace);
  return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

constexpr std::string_view Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

}  // namespace zplatform
