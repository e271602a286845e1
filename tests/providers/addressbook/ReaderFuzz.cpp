// Fuzz target: any bytes given to the vCard and LDIF readers come out as
// cards whose texts are valid UTF-8 without NUL, with no crash or hang.
#include <addressbook/LdifReader.h>
#include <addressbook/Utf8Text.h>
#include <addressbook/VCardReader.h>

#include <cstdint>
#include <cstdlib>

namespace {

void CheckText(const std::string& text) {
  if (text.find('\0') != std::string::npos || addressbook::RepairedUtf8(text) != text) std::abort();
}

void CheckCards(const std::vector<addressbook::Card>& cards) {
  for (const auto& card : cards) {
    CheckText(card.formattedName);
    CheckText(card.familyName);
    CheckText(card.givenName);
    for (const auto& email : card.emails) {
      if (email.empty()) std::abort();
      CheckText(email);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckCards(addressbook::ReadVCards(text));
  CheckCards(addressbook::ReadLdif(text));
  return 0;
}
