// Recipient resolution through GMime's address parser.
#include "Recipient.h"

#include "Charset.h"
#include "GObjectRef.h"
#include "MapiError.h"

#include <gmime/gmime.h>

#include <strings.h>

namespace mapi32 {

namespace {

std::string_view WithoutSmtpPrefix(std::string_view text) {
  constexpr std::string_view kPrefix = "SMTP:";
  if (text.size() >= kPrefix.size() && strncasecmp(text.data(), kPrefix.data(), kPrefix.size()) == 0)
    text.remove_prefix(kPrefix.size());
  return text;
}

// local@domain with both sides present and nothing that cannot stand in an
// envelope address.
bool IsAddrSpec(std::string_view addr) {
  auto at = addr.rfind('@');
  if (at == std::string_view::npos || at == 0 || at + 1 == addr.size()) return false;
  for (char c : addr) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '<' || c == '>') return false;
  }
  return true;
}

}  // namespace

bool ParseMailbox(std::string_view text, std::string& name, std::string& address) {
  // Anything without "@" is a name for the address book, which the parser
  // would otherwise take for a local user.
  if (text.find('@') == std::string_view::npos) return false;
  std::string owned(text);
  GObjectRef<InternetAddressList> list(internet_address_list_parse(nullptr, owned.c_str()));
  if (!list || internet_address_list_length(list.get()) != 1) return false;
  InternetAddress* entry = internet_address_list_get_address(list.get(), 0);
  if (!INTERNET_ADDRESS_IS_MAILBOX(entry)) return false;
  const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(entry));
  if (!addr || !IsAddrSpec(addr)) return false;
  const char* display = internet_address_get_name(entry);
  name = display ? HeaderText(display) : std::string();
  address = addr;
  return true;
}

Recipient ResolveRecipient(const MapiRecipDesc& desc) {
  if (desc.ulRecipClass != MAPI_TO && desc.ulRecipClass != MAPI_CC && desc.ulRecipClass != MAPI_BCC)
    throw MapiError(MAPI_E_BAD_RECIPTYPE);

  std::string name = HeaderText(FieldText(desc.lpszName));
  std::string addressField = HeaderText(WithoutSmtpPrefix(HeaderText(FieldText(desc.lpszAddress))));
  const std::string& addressText = addressField.empty() ? name : addressField;

  Recipient recipient;
  recipient.recipClass = desc.ulRecipClass;
  std::string parsedName;
  if (!ParseMailbox(WithoutSmtpPrefix(addressText), parsedName, recipient.address))
    throw MapiError(MAPI_E_UNKNOWN_RECIPIENT);
  bool nameIsDisplayName = !addressField.empty() && !name.empty() && name != recipient.address;
  recipient.name = nameIsDisplayName ? name : parsedName;
  return recipient;
}

}  // namespace mapi32
