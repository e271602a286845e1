// An address book as its contents table lists it, read once per WABOpen and
// shared by the objects opened from it.
#pragma once

#include <zproviders/WabApi.h>

#include <memory>
#include <string>
#include <vector>

namespace wab32 {

struct BookRow {
  std::string displayName;
  std::string email;  // the first address; empty when there is none (a group)
  ULONG objectType;   // MAPI_MAILUSER or MAPI_DISTLIST
};

struct Book {
  std::vector<BookRow> rows;
};

struct OpenedBook {
  HRESULT result = S_OK;
  std::shared_ptr<const Book> book;  // null on failure
};

// Reads the book in fileName, or the user's default book for null or "".
// One row per group and per other card with an address, in file order; a
// card without an address cannot receive mail and is not listed. The default
// book not existing yet is an empty book (a new user's). Failures: a named
// file that does not exist MAPI_E_NOT_FOUND; a file that cannot be read (no
// permission, not a regular file) MAPI_E_NO_ACCESS; a file that is neither
// vCard nor LDIF, or too large, MAPI_E_CALL_FAILED.
OpenedBook OpenBook(const char* fileName);

}  // namespace wab32
