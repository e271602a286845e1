#include <addressbook/Card.h>

namespace addressbook {

std::string DisplayName(const Card& card) {
  if (!card.formattedName.empty()) return card.formattedName;
  std::string name = card.givenName;
  if (!card.familyName.empty()) {
    if (!name.empty()) name += ' ';
    name += card.familyName;
  }
  if (!name.empty()) return name;
  return card.emails.empty() ? std::string() : card.emails.front();
}

}  // namespace addressbook
