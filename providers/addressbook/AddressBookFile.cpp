#include <addressbook/AddressBookFile.h>

#include <addressbook/LdifReader.h>
#include <addressbook/VCardReader.h>

#include <zplatform/AsciiText.h>
#include <zplatform/ProgramDir.h>
#include <zplatform/Registry.h>
#include <zplatform/WholeFile.h>

#include <cerrno>
#include <cstring>

namespace addressbook {
namespace {

using zplatform::StartsWithNoCase;

enum class BookFormat { Empty, VCard, Ldif, Unknown };

// Tells the format by the first line that says something: byte-order mark,
// blank lines and LDIF comments (with their continuation lines) come first.
BookFormat SniffFormat(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  bool inComment = false;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    const bool continuation = line.starts_with(' ') || line.starts_with('\t');
    if ((inComment && continuation)) continue;
    inComment = line.starts_with('#');
    const std::string_view trimmed = zplatform::Trim(line);
    if (inComment || trimmed.empty()) continue;
    if (StartsWithNoCase(trimmed, "BEGIN:VCARD")) return BookFormat::VCard;
    if (StartsWithNoCase(trimmed, "dn:") || StartsWithNoCase(trimmed, "version:")) return BookFormat::Ldif;
    return BookFormat::Unknown;
  }
  return BookFormat::Empty;
}

std::string DescribeFailure(zplatform::WholeFileStatus status, int error) {
  using zplatform::WholeFileStatus;
  const std::string reason = error != 0 ? std::string(": ") + std::strerror(error) : std::string();
  switch (status) {
    case WholeFileStatus::NotFound: return "the file does not exist" + reason;
    case WholeFileStatus::CannotOpen: return "the file cannot be opened" + reason;
    case WholeFileStatus::NotRegularFile: return "not a regular file";
    case WholeFileStatus::TooLarge: return "the file is larger than " + std::to_string(kMaxBookBytes >> 20) + " MB";
    case WholeFileStatus::ReadError: return "the file cannot be read" + reason;
    case WholeFileStatus::Ok: break;
  }
  return {};
}

}  // namespace

std::optional<std::vector<Card>> LoadBookFile(const std::string& path, std::string* why) {
  std::string data;
  errno = 0;
  const auto status = zplatform::ReadWholeFile(path, kMaxBookBytes, data);
  if (status != zplatform::WholeFileStatus::Ok) {
    if (why) *why = DescribeFailure(status, errno);
    return std::nullopt;
  }
  switch (SniffFormat(data)) {
    case BookFormat::Empty: return std::vector<Card>{};
    case BookFormat::VCard: return ReadVCards(data);
    case BookFormat::Ldif: return ReadLdif(data);
    case BookFormat::Unknown: break;
  }
  if (why) *why = "neither a vCard nor an LDIF file";
  return std::nullopt;
}

std::string DefaultBookPath() {
  std::string path = zplatform::RegReadString(HKEY_CURRENT_USER, "Software\\Zerth\\Address Book", "File");
  if (path.empty()) path = zplatform::UserDataDir() + "/addressbook.vcf";
  return path;
}

std::string DefaultContactsFolder() {
  std::string folder = zplatform::RegReadString(HKEY_CURRENT_USER, "Software\\Zerth\\Contacts", "Folder");
  if (folder.empty()) folder = zplatform::UserDataDir() + "/contacts";
  return folder;
}

DisplayNameIndex::DisplayNameIndex(const std::vector<Card>& cards) {
  for (const Card& card : cards) {
    if (card.isGroup || card.emails.empty()) continue;
    std::string name = DisplayName(card);
    Add(folded_, zplatform::ToLowerAscii(name), card.emails.front());
    Add(exact_, std::move(name), card.emails.front());
  }
}

void DisplayNameIndex::Add(std::unordered_map<std::string, Entry>& names, std::string name, const std::string& address) {
  const auto [entry, added] = names.try_emplace(std::move(name), Entry{address});
  // Two cards of one address (a contact listed twice) are still one person.
  if (!added && !zplatform::EqualsNoCase(entry->second.address, address)) entry->second.ambiguous = true;
}

const DisplayNameIndex::Entry* DisplayNameIndex::Find(const std::unordered_map<std::string, Entry>& names,
                                                      const std::string& name) {
  const auto found = names.find(name);
  return found == names.end() ? nullptr : &found->second;
}

Resolution DisplayNameIndex::Resolve(std::string_view name) const {
  const std::string key(zplatform::Trim(name));
  if (key.empty()) return {};
  const Entry* entry = Find(exact_, key);
  if (!entry) entry = Find(folded_, zplatform::ToLowerAscii(key));
  if (!entry) return {};
  if (entry->ambiguous) return {Resolution::Kind::Ambiguous, {}};
  return {Resolution::Kind::Unique, entry->address};
}

Resolution ResolveDisplayName(const std::vector<Card>& cards, std::string_view name) {
  return DisplayNameIndex(cards).Resolve(name);
}

}  // namespace addressbook
