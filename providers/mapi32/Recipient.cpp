// Recipient resolution through GMime's address parser.
#include "Recipient.h"

#include "Charset.h"
#include "DefaultAddressBook.h"
#include "GObjectRef.h"
#include "MailboxSyntax.h"
#include "MapiError.h"

#include <gmime/gmime.h>

#include <zplatform/AsciiText.h>

#include <optional>

namespace mapi32 {

namespace {

std::string_view WithoutSmtpPrefix(std::string_view text) {
  constexpr std::string_view kPrefix = "SMTP:";
  if (zplatform::StartsWithNoCase(text, kPrefix)) text.remove_prefix(kPrefix.size());
  return text;
}

}  // namespace

bool ParseMailbox(std::string_view text, std::string& name, std::string& address) {
  // GMime's parser makes the most of any text: it cuts "a@b@c.org" to "a@b"
  // and takes the first of "a@x.example;b@y.example". So the text must have
  // the form of one mailbox first, and GMime must find the same address in
  // it (as written, or as its ASCII form when the domain is punycode); GMime
  // then decodes the display name. The address stays as the caller wrote it.
  std::optional<std::string_view> checked = MailboxAddress(text);
  if (!checked) return false;
  std::string owned(text);
  GObjectRef<InternetAddressList> list(internet_address_list_parse(nullptr, owned.c_str()));
  if (!list || internet_address_list_length(list.get()) != 1) return false;
  InternetAddress* entry = internet_address_list_get_address(list.get(), 0);
  if (!INTERNET_ADDRESS_IS_MAILBOX(entry)) return false;
  auto* mailbox = INTERNET_ADDRESS_MAILBOX(entry);
  const char* addr = internet_address_mailbox_get_addr(mailbox);
  const char* asciiAddr = internet_address_mailbox_get_idn_addr(mailbox);
  if (!(addr && *checked == addr) && !(asciiAddr && *checked == asciiAddr)) return false;
  const char* display = internet_address_get_name(entry);
  name = display ? HeaderText(display) : std::string();
  address = *checked;
  return true;
}

namespace {

// A text without "@" is a display name from the address book: it stands for
// the address of the one mail user listed under it.
std::string AddressInDefaultBook(std::string_view name) {
  std::string why;
  const addressbook::Resolution found = ResolveInDefaultBook(name, &why);
  switch (found.kind) {
    case addressbook::Resolution::Kind::Unique: return found.address;
    case addressbook::Resolution::Kind::Ambiguous:
      FailWith(MAPI_E_AMBIGUOUS_RECIPIENT,
               "\"" + std::string(name) + "\" names more than one address in the address book");
    case addressbook::Resolution::Kind::None: break;
  }
  FailWith(MAPI_E_UNKNOWN_RECIPIENT, why.empty() ? "\"" + std::string(name) + "\" is not in the address book"
                                                 : "\"" + std::string(name) + "\" is not an address, and " + why);
}

}  // namespace

Recipient ResolveRecipient(const MapiRecipDesc& desc) {
  if (desc.ulRecipClass != MAPI_TO && desc.ulRecipClass != MAPI_CC && desc.ulRecipClass != MAPI_BCC)
    throw MapiError(MAPI_E_BAD_RECIPTYPE);

  std::string name = HeaderText(FieldText(desc.lpszName));
  std::string addressField = HeaderText(WithoutSmtpPrefix(HeaderText(FieldText(desc.lpszAddress))));
  const std::string& addressText = addressField.empty() ? name : addressField;

  Recipient recipient;
  recipient.recipClass = desc.ulRecipClass;
  std::string parsedName;
  const std::string_view text = zplatform::Trim(WithoutSmtpPrefix(addressText));
  if (!text.empty() && text.find('@') == std::string_view::npos) {
    // The book's address must be a mailbox like any other.
    if (!ParseMailbox(AddressInDefaultBook(text), parsedName, recipient.address))
      throw MapiError(MAPI_E_UNKNOWN_RECIPIENT);
    recipient.name = name.empty() ? std::string(text) : name;
    return recipient;
  }
  if (!ParseMailbox(WithoutSmtpPrefix(addressText), parsedName, recipient.address))
    throw MapiError(MAPI_E_UNKNOWN_RECIPIENT);
  bool nameIsDisplayName = !addressField.empty() && !name.empty() && name != recipient.address;
  recipient.name = nameIsDisplayName ? name : parsedName;
  return recipient;
}

}  // namespace mapi32
