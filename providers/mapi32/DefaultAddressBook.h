// The user's default address book, for recipients given by display name.
// The program sends one message per recipient, thousands in a run, so the
// parsed book is kept between calls and read again only when the file has
// changed.
#pragma once

#include <addressbook/AddressBookFile.h>

#include <string>
#include <string_view>

namespace mapi32 {

// name looked up among the mail users of addressbook::DefaultBookPath().
// Kind::None also when there is no book; when the book cannot be read, *why
// (if given) says so and Kind::None is returned.
addressbook::Resolution ResolveInDefaultBook(std::string_view name, std::string* why = nullptr);

}  // namespace mapi32
