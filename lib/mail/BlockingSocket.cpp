// BlockingSocket: POSIX sockets with connect and I/O time-outs.
#include "BlockingSocket.h"

#include <zplatform/HostLookup.h>
#include <zplatform/SocketWait.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace zerth::detail {

namespace {

// The IPv4 address of host: the dotted form, else the first address a name
// look-up returns.
bool ResolveIPv4(const std::string& host, in_addr& address) {
  const zplatform::HostEntry entry = zplatform::LookupHostByName(host.c_str());
  if (entry.error != 0 || entry.addresses.empty()) return false;
  address = entry.addresses.front();
  return true;
}

// Waits for a non-blocking connect to finish; true when it succeeded.
bool FinishConnect(int fd, unsigned timeoutSeconds) {
  const long long timeoutMs = timeoutSeconds == 0 ? -1 : static_cast<long long>(timeoutSeconds) * 1000;
  if (zplatform::WaitSocket(fd, POLLOUT, timeoutMs) != 1) return false;
  int error = 0;
  socklen_t length = sizeof error;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

}  // namespace

bool BlockingSocket::Create() {
  m_fd = zplatform::UniqueFd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return m_fd.valid();
}

bool BlockingSocket::Connect(const std::string& host, unsigned port, unsigned timeoutSeconds) {
  if (!m_fd.valid() || port > 65535) return false;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<std::uint16_t>(port));
  if (!ResolveIPv4(host, peer.sin_addr)) return false;

  // Non-blocking only while connecting, so that the wait has a limit.
  int fd = m_fd.get();
  if (!zplatform::SetSocketBlocking(fd, false)) return false;
  bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 ||
                   (errno == EINPROGRESS && FinishConnect(fd, timeoutSeconds));
  return connected && zplatform::SetSocketBlocking(fd, true) && SetTimeouts(timeoutSeconds);
}

bool BlockingSocket::SetTimeouts(unsigned seconds) {
  m_timeoutSeconds = seconds;
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(seconds);  // 0 means no limit
  int fd = m_fd.get();
  return setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0 &&
         setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) == 0;
}

bool BlockingSocket::SendAll(std::string_view data) {
  while (!data.empty()) {
    ssize_t sent = ::send(m_fd.get(), data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool BlockingSocket::WaitReadable(Clock::time_point deadline) const {
  if (deadline == kNoDeadline) return true;  // the receive time-out alone applies
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  // Readable, or an error or hang-up that the receive reports.
  return left > 0 && zplatform::WaitSocket(m_fd.get(), POLLIN, left) == 1;
}

long BlockingSocket::Receive(std::span<char> buffer, Clock::time_point deadline) {
  if (!WaitReadable(deadline)) return -1;
  for (;;) {
    ssize_t received = ::recv(m_fd.get(), buffer.data(), buffer.size(), 0);
    if (received < 0 && errno == EINTR) continue;
    return received < 0 ? -1 : static_cast<long>(received);
  }
}

void BlockingSocket::Close() {
  m_fd.close();
}

std::string LocalHostName(std::size_t maxBytes) {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  std::string host(name);
  // The name goes into a command line: it ends at any line break.
  host = host.substr(0, std::min(host.find_first_of("\r\n"), maxBytes));
  return host;
}

}  // namespace zerth::detail
