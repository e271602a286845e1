// The failure that stops sending a message: a Simple MAPI result code, and
// the one stderr line that tells the user what went wrong.
#pragma once

#include <zerth/mapi.h>

#include <exception>
#include <string_view>

namespace mapi32 {

class MapiError : public std::exception {
public:
  explicit MapiError(MAPI_ULONG code) : m_code(code) {}

  MAPI_ULONG code() const { return m_code; }
  const char* what() const noexcept override { return "Simple MAPI failure"; }

private:
  MAPI_ULONG m_code;
};

// Writes "mapi32: <message>" as one line to stderr and throws MapiError(code).
// Used where the code alone would leave the user guessing (account, outbox).
[[noreturn]] void FailWith(MAPI_ULONG code, std::string_view message);

}  // namespace mapi32
