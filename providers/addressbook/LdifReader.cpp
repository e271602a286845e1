#include <addressbook/LdifReader.h>

#include <addressbook/LineCursor.h>
#include <addressbook/TransferEncoding.h>
#include <addressbook/Utf8Text.h>

#include <zplatform/AsciiText.h>

namespace addressbook {
namespace {

using zplatform::EqualsNoCase;
using zplatform::Trim;

// One "name[;options]: value" line; "::" marks base64, ":<" a URL.
struct Line {
  enum class Kind { Text, Base64, Url };
  std::string_view name;  // without options ("cn;lang-de" is cn)
  std::string_view value;
  Kind kind = Kind::Text;
};

bool ParseLine(std::string_view text, Line& line) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view name = text.substr(0, colon);
  if (const std::size_t semicolon = name.find(';'); semicolon != std::string_view::npos) name = name.substr(0, semicolon);
  line.name = Trim(name);
  std::string_view value = text.substr(colon + 1);
  line.kind = Line::Kind::Text;
  if (value.starts_with(':')) {
    line.kind = Line::Kind::Base64;
    value.remove_prefix(1);
  } else if (value.starts_with('<')) {
    line.kind = Line::Kind::Url;
    value.remove_prefix(1);
  }
  while (value.starts_with(' ')) value.remove_prefix(1);
  line.value = value;
  return !line.name.empty();
}

std::string Decoded(const Line& line) {
  if (line.kind == Line::Kind::Base64) return RepairedUtf8(DecodeBase64(line.value));
  return RepairedUtf8(line.value);
}

// The lines of one record, from its dn to the blank line after it.
class RecordBuilder {
 public:
  // Takes one line of the record; false once the record has become unusable
  // (a line that is not "name: value", or a change other than add).
  void Take(std::string_view text) {
    Line line;
    if (!ParseLine(text, line)) {
      if (haveDn_) broken_ = true;  // junk before a dn belongs to no record
      return;
    }
    if (!haveDn_) {
      // Before the dn only "version: 1" (at the top of the file) may come.
      if (EqualsNoCase(line.name, "dn")) haveDn_ = true;
      return;
    }
    if (line.kind == Line::Kind::Url) return;  // not fetched
    const std::string_view name = line.name;
    if (EqualsNoCase(name, "changetype")) {
      if (!EqualsNoCase(Trim(Decoded(line)), "add")) broken_ = true;
    } else if (EqualsNoCase(name, "cn")) {
      SetOnce(card_.formattedName, line);
    } else if (EqualsNoCase(name, "sn")) {
      SetOnce(card_.familyName, line);
    } else if (EqualsNoCase(name, "givenName")) {
      SetOnce(card_.givenName, line);
    } else if (EqualsNoCase(name, "mail")) {
      AddAddress(card_.emails, line);
    } else if (EqualsNoCase(name, "mozillaSecondEmail")) {
      AddAddress(secondEmails_, line);
    } else if (EqualsNoCase(name, "objectClass")) {
      const std::string objectClass = Decoded(line);
      const std::string_view trimmed = Trim(objectClass);
      if (EqualsNoCase(trimmed, "groupOfNames") || EqualsNoCase(trimmed, "groupOfUniqueNames")) card_.isGroup = true;
    }
  }

  // Ends the record at a blank line or the end of the text.
  void Finish(std::vector<Card>& cards) {
    if (haveDn_ && !broken_) {
      for (std::string& address : secondEmails_) card_.emails.push_back(std::move(address));
      cards.push_back(std::move(card_));
    }
    *this = RecordBuilder{};
  }

  bool started() const { return haveDn_; }

 private:
  static void SetOnce(std::string& field, const Line& line) {
    if (field.empty()) field = Trim(Decoded(line));
  }
  static void AddAddress(std::vector<std::string>& addresses, const Line& line) {
    const std::string address = Decoded(line);
    if (const std::string_view trimmed = Trim(address); !trimmed.empty()) addresses.emplace_back(trimmed);
  }

  Card card_;
  std::vector<std::string> secondEmails_;
  bool haveDn_ = false;
  bool broken_ = false;
};

}  // namespace

std::vector<Card> ReadLdif(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<Card> cards;
  LineCursor cursor(text, " ");
  std::string buffer;
  RecordBuilder record;
  while (!cursor.AtEnd()) {
    const std::string_view line = cursor.NextLogical(buffer);
    if (line.starts_with('#')) continue;  // a comment, with its continuation lines
    if (line.empty()) {
      record.Finish(cards);
      continue;
    }
    // Records not parted by a blank line: a second dn starts the next one.
    if (record.started() && zplatform::StartsWithNoCase(line, "dn:")) record.Finish(cards);
    record.Take(line);
  }
  record.Finish(cards);
  return cards;
}

}  // namespace addressbook
