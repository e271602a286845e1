// Reads vCard 2.1, 3.0 and 4.0 text: folded lines, parameters, grouped
// property names, QUOTED-PRINTABLE and CHARSET (2.1), escapes, several cards
// per text. A card that cannot be read is skipped (one without END:VCARD,
// also one cut short by the next BEGIN:VCARD that no AGENT announced); the
// rest are returned in text order. Names are trimmed; every text is valid
// UTF-8, with U+FFFD for invalid bytes and NULs. Linear in the text; never
// throws for bad input.
#pragma once

#include <addressbook/Card.h>

#include <string_view>
#include <vector>

namespace addressbook {

std::vector<Card> ReadVCards(std::string_view text);

}  // namespace addressbook
