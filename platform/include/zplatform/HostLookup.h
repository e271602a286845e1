// Thread-safe IPv4 host look-ups (getaddrinfo / getnameinfo) with their
// failures as Winsock codes, shared by the synchronous and the asynchronous
// look-ups of the socket layer.
#pragma once

#include <netinet/in.h>

#include <string>
#include <vector>

namespace zplatform {

struct HostEntry {
  // 0, or WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA.
  int error = 0;
  std::string name;               // the official (canonical) name
  std::vector<in_addr> addresses; // in the resolver's order
};

// The IPv4 addresses of name (a dotted address is taken as it is).
HostEntry LookupHostByName(const char* name);
// The host name of address.
HostEntry LookupHostByAddress(in_addr address);

}  // namespace zplatform
