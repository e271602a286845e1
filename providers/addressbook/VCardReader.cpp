#include <addressbook/VCardReader.h>

#include <addressbook/LineCursor.h>
#include <addressbook/TransferEncoding.h>
#include <addressbook/Utf8Text.h>

#include <zplatform/AsciiText.h>

#include <algorithm>
#include <utility>

namespace addressbook {
namespace {

using zplatform::EqualsNoCase;
using zplatform::StartsWithNoCase;
using zplatform::Trim;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// An address without PREF sorts after every ranked one.
constexpr int kUnranked = 1 << 30;

std::string_view Unquoted(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

// One content line: NAME;PARAM...:VALUE. The views point into the line.
struct Property {
  std::string_view name;  // without its group ("item1.")
  std::string_view value;
  std::string_view charset;
  bool quotedPrintable = false;
  bool base64 = false;
  int rank = kUnranked;  // PREF=n (lower is preferred), TYPE=pref counts as 1

  void TakeParameter(std::string_view parameter);
  void TakeTypes(std::string_view types);
};

void Property::TakeTypes(std::string_view types) {
  // A comma list, possibly quoted as a whole: TYPE="work,pref".
  types = Unquoted(types);
  while (!types.empty()) {
    const std::size_t comma = types.find(',');
    const std::string_view type = Unquoted(types.substr(0, comma));
    if (EqualsNoCase(type, "pref")) rank = std::min(rank, 1);
    types = comma == std::string_view::npos ? std::string_view{} : types.substr(comma + 1);
  }
}

void Property::TakeParameter(std::string_view parameter) {
  const std::size_t equals = parameter.find('=');
  if (equals == std::string_view::npos) {
    // vCard 2.1 writes bare values: EMAIL;INTERNET;PREF;QUOTED-PRINTABLE:
    const std::string_view bare = Trim(parameter);
    if (EqualsNoCase(bare, "QUOTED-PRINTABLE")) quotedPrintable = true;
    else if (EqualsNoCase(bare, "BASE64") || EqualsNoCase(bare, "B")) base64 = true;
    else TakeTypes(bare);
    return;
  }
  const std::string_view key = Trim(parameter.substr(0, equals));
  const std::string_view value = parameter.substr(equals + 1);
  if (EqualsNoCase(key, "ENCODING")) {
    const std::string_view encoding = Unquoted(value);
    if (EqualsNoCase(encoding, "QUOTED-PRINTABLE")) quotedPrintable = true;
    else if (EqualsNoCase(encoding, "B") || EqualsNoCase(encoding, "BASE64")) base64 = true;
  } else if (EqualsNoCase(key, "CHARSET")) {
    charset = Unquoted(value);
  } else if (EqualsNoCase(key, "TYPE")) {
    TakeTypes(value);
  } else if (EqualsNoCase(key, "PREF")) {
    const std::string_view digits = Unquoted(value);
    if (digits.empty() || digits.size() > 6) return;
    int number = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return;
      number = number * 10 + (c - '0');
    }
    rank = std::min(rank, number);
  }
}

// Splits a content line into its parts; false for a line that is not one
// (no colon after the name and parameters). Quoted parameter values may hold
// ';' and ':'.
bool ParseProperty(std::string_view line, Property& property) {
  property = Property{};
  std::size_t i = 0;
  while (i < line.size() && line[i] != ';' && line[i] != ':') ++i;
  if (i == line.size()) return false;
  std::string_view name = Trim(line.substr(0, i));
  // Files joined with cat keep each one's byte-order mark.
  if (name.starts_with(kByteOrderMark)) name = Trim(name.substr(kByteOrderMark.size()));
  if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos) name = name.substr(dot + 1);
  property.name = name;
  while (line[i] == ';') {
    const std::size_t start = ++i;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ';' && line[i] != ':'))) {
      if (line[i] == '"') quoted = !quoted;
      ++i;
    }
    if (i == line.size()) return false;
    property.TakeParameter(line.substr(start, i - start));
  }
  property.value = line.substr(i + 1);
  return true;
}

bool IsSoftBreakLine(const Property& property) { return property.quotedPrintable && property.value.ends_with('='); }

// vCard 2.1 continues a quoted-printable value with "=" at the line end (a
// soft line break) rather than by folding. Joins those lines into buffer and
// returns the whole line. A line "END:VCARD" is never taken in, so that a
// stray "=" cannot swallow the rest of the file's cards.
std::string_view JoinSoftLineBreaks(LineCursor& cursor, std::string_view line, std::string& buffer) {
  if (line.data() != buffer.data()) buffer.assign(line);
  while (!buffer.empty() && buffer.back() == '=' && !cursor.AtEnd()) {
    if (EqualsNoCase(Trim(cursor.PeekPhysical()), "END:VCARD")) break;
    buffer.pop_back();
    buffer.append(cursor.NextPhysical());
  }
  return buffer;
}

// The value of an address, name or kind as UTF-8, escapes still in place.
std::string DecodedValue(const Property& property, CharsetConverter& converter) {
  if (property.quotedPrintable) return converter.ToUtf8(DecodeQuotedPrintable(property.value), property.charset);
  if (property.base64) return converter.ToUtf8(DecodeBase64(property.value), property.charset);
  return converter.ToUtf8(property.value, property.charset);
}

// Resolves the backslash escapes of a text value: 3.0 and 4.0 know \\ \, \;
// \n \N; 2.1 escapes only the semicolon. Others stay as written.
std::string Unescaped(std::string_view text, bool version21) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out += c;
      continue;
    }
    const char next = text[i + 1];
    if (next == ';' || (!version21 && (next == '\\' || next == ','))) {
      out += next;
      ++i;
    } else if (!version21 && (next == 'n' || next == 'N')) {
      out += '\n';
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

// The first two fields of a compound value (N: family; given; ...), split at
// the semicolons that are not escaped.
std::pair<std::string_view, std::string_view> FirstTwoFields(std::string_view text) {
  std::size_t fieldStart = 0;
  std::string_view fields[2];
  int field = 0;
  for (std::size_t i = 0; i <= text.size() && field < 2; ++i) {
    if (i < text.size() && text[i] == '\\') {
      ++i;
      continue;
    }
    if (i == text.size() || text[i] == ';') {
      fields[field++] = text.substr(fieldStart, i - fieldStart);
      fieldStart = i + 1;
    }
  }
  return {fields[0], fields[1]};
}

std::string TrimmedCopy(const std::string& text) { return std::string(Trim(text)); }

// Collects the properties of one card; the escapes are resolved at its end,
// once VERSION (which may come anywhere in 2.1) is known.
class CardBuilder {
 public:
  bool open() const { return open_; }

  void Start() {
    *this = CardBuilder{};
    open_ = true;
  }

  void Take(const Property& property, CharsetConverter& converter) {
    const std::string_view name = property.name;
    if (EqualsNoCase(name, "VERSION")) {
      version21_ = Trim(property.value).starts_with('2');
    } else if (EqualsNoCase(name, "FN")) {
      if (!haveFn_) rawFn_ = DecodedValue(property, converter);
      haveFn_ = true;
    } else if (EqualsNoCase(name, "N")) {
      if (!haveN_) rawN_ = DecodedValue(property, converter);
      haveN_ = true;
    } else if (EqualsNoCase(name, "EMAIL")) {
      emails_.emplace_back(property.rank, DecodedValue(property, converter));
    } else if (EqualsNoCase(name, "KIND") || EqualsNoCase(name, "X-ADDRESSBOOKSERVER-KIND")) {
      if (EqualsNoCase(Trim(DecodedValue(property, converter)), "group")) isGroup_ = true;
    }
  }

  Card Finish() {
    open_ = false;
    Card card;
    card.isGroup = isGroup_;
    card.formattedName = TrimmedCopy(Unescaped(rawFn_, version21_));
    const auto [family, given] = FirstTwoFields(rawN_);
    card.familyName = TrimmedCopy(Unescaped(family, version21_));
    card.givenName = TrimmedCopy(Unescaped(given, version21_));
    std::stable_sort(emails_.begin(), emails_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [rank, raw] : emails_) {
      const std::string unescaped = Unescaped(raw, version21_);
      std::string_view address = Trim(unescaped);
      if (StartsWithNoCase(address, "mailto:")) address = Trim(address.substr(7));
      if (!address.empty()) card.emails.emplace_back(address);
    }
    return card;
  }

 private:
  bool open_ = false;
  bool version21_ = false;
  bool isGroup_ = false;
  bool haveFn_ = false;
  bool haveN_ = false;
  std::string rawFn_;
  std::string rawN_;
  std::vector<std::pair<int, std::string>> emails_;
};

bool IsVCardWord(std::string_view value) { return EqualsNoCase(Trim(value), "VCARD"); }

}  // namespace

std::vector<Card> ReadVCards(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  std::vector<Card> cards;
  LineCursor cursor(text, " \t");
  std::string buffer;
  CharsetConverter converter;
  CardBuilder builder;
  // Cards inside the open card (vCard 2.1 AGENT) are passed over whole.
  std::size_t nested = 0;
  bool afterEmptyAgent = false;
  Property property;
  while (!cursor.AtEnd()) {
    std::string_view line = cursor.NextPhysical();
    bool parsed = ParseProperty(line, property);
    // A quoted-printable value continues after a soft line break, even on a
    // line that starts with white space (which then belongs to the value);
    // other lines unfold.
    if (!(parsed && IsSoftBreakLine(property))) {
      const std::string_view unfolded = cursor.Unfold(line, buffer);
      if (unfolded.data() != line.data() || unfolded.size() != line.size()) {
        line = unfolded;
        parsed = ParseProperty(line, property);
      }
    }
    if (!parsed) continue;
    if (IsSoftBreakLine(property)) {
      line = JoinSoftLineBreaks(cursor, line, buffer);
      if (!ParseProperty(line, property)) continue;
    }
    const bool agentBefore = std::exchange(afterEmptyAgent, false);
    const std::string_view name = property.name;
    if (EqualsNoCase(name, "BEGIN") && IsVCardWord(property.value)) {
      // A BEGIN inside a card that no AGENT announced means the open card
      // was cut short: it is dropped and the new one read.
      if (builder.open() && (nested > 0 || agentBefore)) ++nested;
      else builder.Start();
    } else if (EqualsNoCase(name, "END") && IsVCardWord(property.value)) {
      if (nested > 0) --nested;
      else if (builder.open()) cards.push_back(builder.Finish());
    } else if (!builder.open() || nested > 0) {
      continue;  // junk between cards, or a nested card's line
    } else if (EqualsNoCase(name, "AGENT")) {
      const std::string_view value = Trim(property.value);
      if (value.empty()) afterEmptyAgent = true;
      else if (StartsWithNoCase(value, "BEGIN:VCARD")) ++nested;
    } else {
      builder.Take(property, converter);
    }
  }
  return cards;
}

}  // namespace addressbook
