// The far end of a CUT_WSClient connection on loopback: a plain listening
// socket that accepts the client and then sends, reads or closes on demand.
#pragma once

#include <zerth/CUT_WSClient.h>
#include <zplatform/UniqueFd.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <string>

namespace sockettest {

// A client that shows its protected state to the tests.
class OpenClient : public CUT_WSClient {
public:
  using CUT_WSClient::m_clientSocketAddr;
  using CUT_WSClient::m_szAddress;
};

class LoopbackPeer {
public:
  LoopbackPeer() : m_listener(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof self;
    ::bind(m_listener.get(), reinterpret_cast<sockaddr*>(&self), sizeof self);
    ::listen(m_listener.get(), 4);
    ::getsockname(m_listener.get(), reinterpret_cast<sockaddr*>(&self), &length);
    m_port = ntohs(self.sin_port);
  }
  unsigned port() const { return m_port; }
  // Connects client and accepts it here; false when either side failed.
  bool Connect(CUT_WSClient& client) {
    if (client.Connect(m_port, "127.0.0.1") != 0) return false;
    m_peer = zplatform::UniqueFd(::accept(m_listener.get(), nullptr, nullptr));
    return m_peer.valid();
  }
  void Send(const std::string& bytes) const { ::send(m_peer.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // Everything until the client closes.
  std::string ReadAll() const {
    std::string all;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(m_peer.get(), buffer, sizeof buffer, 0)) > 0;) all.append(buffer, static_cast<size_t>(n));
    return all;
  }
  void Close() { m_peer.close(); }
  // Closes with a reset instead of an orderly end.
  void Reset() {
    linger abort{1, 0};
    ::setsockopt(m_peer.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    m_peer.close();
  }

private:
  zplatform::UniqueFd m_listener;
  zplatform::UniqueFd m_peer;
  unsigned m_port = 0;
};

// Bytes waiting to be read on s.
inline int Waiting(SOCKET s) {
  u_long count = 0;
  return ioctlsocket(s, static_cast<long>(FIONREAD), &count) == 0 ? static_cast<int>(count) : -1;
}

}  // namespace sockettest
