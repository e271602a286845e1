// Reads an LDIF address-book export (RFC 2849): continuation lines, base64
// values ("::"), comments, person and groupOfNames records. A record that
// cannot be read is skipped; the rest are returned in text order. Never
// throws for bad input.
#pragma once

#include <addressbook/Card.h>

#include <string_view>
#include <vector>

namespace addressbook {

std::vector<Card> ReadLdif(std::string_view text);

}  // namespace addressbook
