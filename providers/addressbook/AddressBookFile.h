// Address-book files and the default locations.
#pragma once

#include <addressbook/Card.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace addressbook {

// The largest book file read; a larger one is refused like an unreadable one.
inline constexpr std::size_t kMaxBookBytes = 256u << 20;

// The cards of a vCard or LDIF file (told apart by its content, not its
// name); an empty file is an empty book. Nothing when the file cannot be read
// (missing, not a regular file, too large, a read error) or holds neither
// format; then *why, when given, says which.
std::optional<std::vector<Card>> LoadBookFile(const std::string& path, std::string* why = nullptr);

// The user's default address book: the file named by the value "File" of
// HKEY_CURRENT_USER\Software\Zerth\Address Book, else
// $XDG_DATA_HOME/zerth/addressbook.vcf.
std::string DefaultBookPath();

// The user's default contacts folder: the value "Folder" of
// HKEY_CURRENT_USER\Software\Zerth\Contacts, else $XDG_DATA_HOME/zerth/contacts.
std::string DefaultContactsFolder();

// A display name handed over as a mail address, looked up among the mail
// users of a book (cards that are not groups and have an address; names
// compared exactly, then without regard to ASCII case; the name is trimmed).
// Unique when every mail user of the name has the same first address (ASCII
// case aside), Ambiguous when their addresses differ, None when none matches.
struct Resolution {
  enum class Kind { Unique, None, Ambiguous } kind = Kind::None;
  std::string address;  // for Unique
};
Resolution ResolveDisplayName(const std::vector<Card>& cards, std::string_view name);

// The same look-up for many names in one book (the mail provider resolves
// one recipient per message, thousands per run): the names are indexed once.
class DisplayNameIndex {
 public:
  explicit DisplayNameIndex(const std::vector<Card>& cards);
  Resolution Resolve(std::string_view name) const;

 private:
  struct Entry {
    std::string address;  // of the first mail user of the name
    bool ambiguous = false;
  };
  static void Add(std::unordered_map<std::string, Entry>& names, std::string name, const std::string& address);
  static const Entry* Find(const std::unordered_map<std::string, Entry>& names, const std::string& name);

  std::unordered_map<std::string, Entry> exact_;
  std::unordered_map<std::string, Entry> folded_;  // names in ASCII lower case
};

}  // namespace addressbook
