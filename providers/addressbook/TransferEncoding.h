// The transfer encodings a card value can carry: quoted-printable (vCard 2.1)
// and base64 (vCard "ENCODING=b", LDIF "attr::"). Both decoders are lenient:
// bytes that fit neither rule are kept or skipped, never an error, since a
// damaged value is still worth showing.
#pragma once

#include <string>
#include <string_view>

namespace addressbook {

// "=XX" becomes the byte XX; "=" before a line end (a soft line break) is
// dropped with the line end, as is a last "=" of the text; any other "=" is
// kept as it stands.
std::string DecodeQuotedPrintable(std::string_view text);

// The base64 alphabet is decoded; white space and any other byte is skipped,
// and decoding stops at the first "=" (padding).
std::string DecodeBase64(std::string_view text);

}  // namespace addressbook
