// HostLookup: getaddrinfo and getnameinfo, which unlike gethostbyname keep
// no shared state and so may run on any thread.
#include <zplatform/HostLookup.h>
#include <zplatform/Winsock.h>

#include <memory>

namespace zplatform {

namespace {

int WinsockLookupError(int error) {
  switch (error) {
    case EAI_NONAME: return WSAHOST_NOT_FOUND;
    case EAI_AGAIN: return WSATRY_AGAIN;
#ifdef EAI_NODATA
    case EAI_NODATA: return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return WSANO_DATA;
#endif
    default: return WSANO_RECOVERY;
  }
}

}  // namespace

HostEntry LookupHostByName(const char* name) {
  HostEntry entry;
  if (name == nullptr || *name == '\0') {
    entry.error = WSAHOST_NOT_FOUND;
    return entry;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(name, nullptr, &hints, &found);
  if (result != 0 || found == nullptr) {
    entry.error = result != 0 ? WinsockLookupError(result) : WSANO_DATA;
    return entry;
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);
  entry.name = found->ai_canonname != nullptr ? found->ai_canonname : name;
  for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
    if (at->ai_family == AF_INET && at->ai_addr != nullptr)
      entry.addresses.push_back(reinterpret_cast<const sockaddr_in*>(at->ai_addr)->sin_addr);
  }
  if (entry.addresses.empty()) entry.error = WSANO_DATA;
  return entry;
}

HostEntry LookupHostByAddress(in_addr address) {
  HostEntry entry;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr = address;
  char name[NI_MAXHOST] = {};
  const int result = getnameinfo(reinterpret_cast<const sockaddr*>(&peer), sizeof peer, name, sizeof name,
                                 nullptr, 0, NI_NAMEREQD);
  if (result != 0) {
    entry.error = WinsockLookupError(result);
    return entry;
  }
  name[sizeof name - 1] = '\0';
  entry.name = name;
  entry.addresses.push_back(address);
  return entry;
}

}  // namespace zplatform
