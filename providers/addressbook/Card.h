// One entry of an address book or contact folder, as read from a vCard or an
// LDIF record: the names and the e-mail addresses, nothing else.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace addressbook {

struct Card {
  // vCard FN, LDIF cn.
  std::string formattedName;
  // vCard N (family name; given names), LDIF sn and givenName.
  std::string familyName;
  std::string givenName;
  // The preferred address first (vCard PREF / TYPE=pref), then in file order.
  std::vector<std::string> emails;
  // A group (vCard KIND:group or X-ADDRESSBOOKSERVER-KIND:group, LDIF
  // groupOfNames): a distribution list, not a mail user.
  bool isGroup = false;
};

// The name a book lists the card under: FN, else "Given Family" from N, else
// the first address.
std::string DisplayName(const Card& card);

}  // namespace addressbook
