// CUT_WSClient: host names and addresses, and the string helpers the
// protocol clients parse replies with.
#include <zerth/CUT_WSClient.h>

#include "SocketCalls.h"

#include <zplatform/HostLookup.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// Copies text into target when it fits with its NUL in maxLen: 0, else 1.
int CopyIfFits(std::string_view text, char* target, int maxLen) {
  if (target == nullptr || maxLen <= 0 || text.size() + 1 > static_cast<std::size_t>(maxLen)) return 1;
  std::memcpy(target, text.data(), text.size());
  target[text.size()] = '\0';
  return 0;
}

// Walks the pieces of text split at separators (runs count as one, the end
// of the text ends the last piece); stops when visit returns true.
template <typename Visit>
void ForEachPiece(const char* text, const char* separators, Visit visit) {
  const char* start = nullptr;
  for (const char* at = text;; ++at) {
    const bool end = *at == '\0';
    const bool separator = end || std::strchr(separators, *at) != nullptr;
    if (!separator && start == nullptr) start = at;
    if (separator && start != nullptr) {
      if (visit(std::string_view(start, static_cast<std::size_t>(at - start)))) return;
      start = nullptr;
    }
    if (end) return;
  }
}

}  // namespace

int CUT_WSClient::GetAddressFromName(const char* name, char* address, int maxLen) {
  if (name == nullptr) return 2;
  const zplatform::HostEntry entry = zplatform::LookupHostByName(zerth::detail::HostPart(name));
  char text[INET_ADDRSTRLEN] = {};
  if (entry.error != 0 || entry.addresses.empty() ||
      inet_ntop(AF_INET, &entry.addresses.front(), text, sizeof text) == nullptr)
    return 2;
  return CopyIfFits(text, address, maxLen);
}

int CUT_WSClient::GetNameFromAddress(const char* address, char* name, int maxLen) {
  if (address == nullptr) return 2;
  in_addr wanted{};
  wanted.s_addr = inet_addr(address);
  const zplatform::HostEntry entry = zplatform::LookupHostByAddress(wanted);
  if (entry.error != 0 || entry.name.empty()) return 2;
  return CopyIfFits(entry.name, name, maxLen);
}

int CUT_WSClient::IsIPAddress(const char* text) const {
  return text != nullptr && inet_addr(text) != INADDR_NONE ? 1 : 0;
}

int CUT_WSClient::GetHostAddress(char* address, int maxLen, int fromSocketOnly) {
  if (fromSocketOnly == 0) {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0 && GetAddressFromName(host, address, maxLen) == 0) return 0;
  }
  if (m_clientSocket == INVALID_SOCKET || address == nullptr || maxLen <= 0) return 1;
  sockaddr_in local{};
  socklen_t length = sizeof local;
  char text[INET_ADDRSTRLEN] = {};
  if (getsockname(m_clientSocket, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
      inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) == nullptr)
    return 1;
  const std::size_t kept = std::min(std::strlen(text), static_cast<std::size_t>(maxLen) - 1);
  std::memcpy(address, text, kept);
  address[kept] = '\0';
  return 0;
}

int CUT_WSClient::ParseString(const char* text, const char* separators, int index, char* piece, int maxLen) const {
  if (piece != nullptr && maxLen > 0) piece[0] = '\0';
  if (text == nullptr || separators == nullptr || piece == nullptr || *separators == '\0' || index < 0) return 1;
  int result = 1;
  int number = 0;
  ForEachPiece(text, separators, [&](std::string_view found) {
    if (number++ < index) return false;
    result = CopyIfFits(found, piece, maxLen);
    return true;
  });
  return result;
}

int CUT_WSClient::ParseString(const char* text, const char* separators, int index, long* value) const {
  char piece[60];
  if (value == nullptr || ParseString(text, separators, index, piece, sizeof piece) != 0) return 1;
  // strtol rather than atol: the same value, but a number too large for a
  // long saturates instead of being undefined.
  *value = std::strtol(piece, nullptr, 10);
  return 0;
}

int CUT_WSClient::GetParseStringPieces(const char* text, const char* separators) const {
  if (text == nullptr) return 0;
  int count = 0;
  ForEachPiece(text, separators != nullptr ? separators : "", [&](std::string_view) {
    ++count;
    return false;
  });
  return count;
}

void CUT_WSClient::RemoveCRLF(char* text) const {
  if (text == nullptr || text[0] == '\0') return;
  const std::size_t length = std::strlen(text);
  if (length == 1) {
    if (IsLineEnd(text[0])) text[0] = '\0';
    return;
  }
  if (IsLineEnd(text[length - 2])) {
    text[length - 2] = '\0';
  } else if (IsLineEnd(text[length - 1])) {
    text[length - 1] = '\0';
  }
}

int CUT_WSClient::EndWithCRLF(const char* text) const {
  if (text == nullptr || text[0] == '\0') return 0;
  return IsLineEnd(text[std::strlen(text) - 1]) ? 1 : 0;
}
