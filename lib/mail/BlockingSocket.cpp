// BlockingSocket: POSIX sockets with connect and I/O time-outs.
#include "BlockingSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>

namespace zerth::detail {

namespace {

// The IPv4 address of host: the dotted form first, else the first address a
// name look-up returns.
bool ResolveIPv4(const std::string& host, in_addr& address) {
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  return true;
}

bool SetBlocking(int fd, bool blocking) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return fcntl(fd, F_SETFL, flags) == 0;
}

// Waits for a non-blocking connect to finish; true when it succeeded.
bool FinishConnect(int fd, unsigned timeoutSeconds) {
  pollfd waiting{fd, POLLOUT, 0};
  int timeoutMs = timeoutSeconds == 0 || timeoutSeconds > INT_MAX / 1000 ? -1 : static_cast<int>(timeoutSeconds * 1000);
  int ready;
  do {
    ready = poll(&waiting, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;
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
  if (!SetBlocking(fd, false)) return false;
  bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 ||
                   (errno == EINPROGRESS && FinishConnect(fd, timeoutSeconds));
  return connected && SetBlocking(fd, true) && SetTimeouts(timeoutSeconds);
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
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd waiting{m_fd.get(), POLLIN, 0};
    const int ready = poll(&waiting, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;  // readable, or an error or hang-up the receive reports
  }
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
