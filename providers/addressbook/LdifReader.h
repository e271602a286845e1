// Reads an LDIF address-book export (RFC 2849): continuation lines, base64
// values ("::"), comments, person and groupOfNames records. A record that
// cannot be read (a line that is not "name: value", a change other than add)
// is skipped; the rest are returned in text order. Texts as in ReadVCards:
// trimmed names, valid UTF-8. Never throws for bad input.
#pragma once

#include <addressbook/Card.h>

#include <string_view>
#include <vector>

namespace addressbook {

std::vector<Card> ReadLdif(std::string_view text);

}  // namespace addressbook
