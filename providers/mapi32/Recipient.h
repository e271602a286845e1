// A recipient descriptor turned into a display name and an e-mail address,
// looked up in the default address book when it is given by name.
#pragma once

#include <zerth/mapi.h>

#include <string>
#include <string_view>

namespace mapi32 {

struct Recipient {
  MAPI_ULONG recipClass = MAPI_TO;  // MAPI_TO, MAPI_CC or MAPI_BCC
  std::string name;                 // UTF-8 display name, may be empty
  std::string address;              // addr-spec, "user@host"
};

// The address text is lpszAddress when set (a leading "SMTP:" of any case
// removed), else lpszName; the whole text must be one mailbox, bare or
// "Name <addr>" (see MailboxAddress).
// When both fields are set, lpszName is the display name.
// A text without "@" is a display name in the default address book
// (addressbook::DefaultBookPath): it resolves to the address of the mail
// user of that name, and is the display name unless lpszName gives one.
// Throws MapiError: MAPI_E_BAD_RECIPTYPE for a class other than To, Cc and
// Bcc, MAPI_E_UNKNOWN_RECIPIENT when the text is not one e-mail address and
// names no one in the book (or there is no readable book),
// MAPI_E_AMBIGUOUS_RECIPIENT when it names mail users of different addresses.
Recipient ResolveRecipient(const MapiRecipDesc& desc);

// Parses text as exactly one mailbox (MailboxAddress) into its decoded
// display name and its address; false when it is anything else.
[[nodiscard]] bool ParseMailbox(std::string_view text, std::string& name, std::string& address);

}  // namespace mapi32
