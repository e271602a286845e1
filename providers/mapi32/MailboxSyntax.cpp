// A cursor over the text; every step checks the end before it reads.
#include "MailboxSyntax.h"

#include <cstring>

namespace mapi32 {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// atext of RFC 5322, with the UTF-8 bytes that RFC 6532 adds.
bool IsAtext(char c) {
  auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x80) return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return c != '\0' && std::strchr("!#$%&'*+-/=?^_`{|}~", c) != nullptr;
}

// Atoms joined by single dots, no dot at either end.
bool IsDotAtom(std::string_view text) {
  if (text.empty() || text.front() == '.' || text.back() == '.') return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '.') {
      if (text[i - 1] == '.') return false;
    } else if (!IsAtext(text[i])) {
      return false;
    }
  }
  return true;
}

// "[...]" with printable ASCII inside other than brackets and backslash.
bool IsDomainLiteral(std::string_view text) {
  if (text.size() < 3 || text.front() != '[' || text.back() != ']') return false;
  for (char c : text.substr(1, text.size() - 2))
    if (c < '!' || c > '~' || c == '[' || c == ']' || c == '\\') return false;
  return true;
}

bool IsAddrSpec(std::string_view address) {
  if (address.size() > kMaxAddress) return false;
  auto at = address.find('@');
  if (at == std::string_view::npos || at > kMaxLocalPart) return false;
  std::string_view local = address.substr(0, at);
  std::string_view domain = address.substr(at + 1);
  return IsDotAtom(local) && (IsDotAtom(domain) || IsDomainLiteral(domain));
}

// Skips a quoted string that starts at text[pos]; false when it never ends.
bool SkipQuoted(std::string_view text, std::size_t& pos) {
  for (++pos; pos < text.size(); ++pos) {
    if (text[pos] == '\\') {
      if (++pos == text.size()) return false;
    } else if (text[pos] == '"') {
      ++pos;
      return true;
    }
  }
  return false;
}

// The display name before "<": words and quoted strings. Dots stand in
// names ("Dr. Ann") as older mail allowed; the other specials only quoted.
// On success pos is at the "<".
bool SkipDisplayName(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && text[pos] != '<') {
    char c = text[pos];
    if (c == '"') {
      if (!SkipQuoted(text, pos)) return false;
    } else if (IsSpace(c) || c == '.' || IsAtext(c)) {
      ++pos;
    } else {
      return false;
    }
  }
  return pos < text.size();
}

}  // namespace

std::optional<std::string_view> MailboxAddress(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.back() != '>') {
    if (!IsAddrSpec(text)) return std::nullopt;
    return text;
  }
  std::size_t open = 0;
  if (!SkipDisplayName(text, open)) return std::nullopt;
  std::string_view address = text.substr(open + 1, text.size() - open - 2);
  if (!IsAddrSpec(address)) return std::nullopt;
  return address;
}

}  // namespace mapi32
