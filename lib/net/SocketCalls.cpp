// SocketCalls: the socket client's calls to the system.
#include "SocketCalls.h"

#include <zplatform/SocketWait.h>

#include <sys/time.h>

#include <cstring>

namespace zerth::detail {

bool WaitReady(SOCKET s, short events, long seconds, long microseconds) {
  if (s == INVALID_SOCKET) return false;
  const long long wholeMs = seconds > 0 ? static_cast<long long>(seconds) * 1000 : 0;
  const long long partMs = microseconds > 0 ? (static_cast<long long>(microseconds) + 999) / 1000 : 0;
  return zplatform::WaitSocket(s, events, wholeMs + partMs) == 1;
}

int SetTimeOutOption(SOCKET s, int option, long milliseconds) {
  timeval limit{};
  if (milliseconds > 0) {
    limit.tv_sec = milliseconds / 1000;
    limit.tv_usec = (milliseconds % 1000) * 1000;
  }
  return setsockopt(s, SOL_SOCKET, option, &limit, sizeof limit);
}

void ApplyTimeOuts(SOCKET s, long sendMilliseconds, long receiveMilliseconds) {
  SetTimeOutOption(s, SO_SNDTIMEO, sendMilliseconds);
  SetTimeOutOption(s, SO_RCVTIMEO, receiveMilliseconds);
}

ssize_t RecvRetrying(SOCKET s, char* buffer, std::size_t length, int flags) {
  ssize_t received;
  do {
    received = recv(s, buffer, length, flags);
  } while (received < 0 && errno == EINTR);
  return received;
}

ssize_t SendRetrying(SOCKET s, const char* data, std::size_t length) {
  ssize_t sent;
  do {
    sent = send(s, data, length, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent;
}

const char* HostPart(const char* name) {
  const char* at = std::strrchr(name, '@');
  return at != nullptr && at != name ? at + 1 : name;
}

}  // namespace zerth::detail
