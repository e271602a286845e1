// Internal to the library's socket client: the socket calls it makes in
// several places, with interrupted calls restarted and Winsock's time-out
// units turned into POSIX ones.
#pragma once

#include <zplatform/Winsock.h>

#include <poll.h>

#include <cerrno>
#include <cstddef>

namespace zerth::detail {

// Keeps errno across clean-up calls, so that WSAGetLastError still tells why
// the operation failed.
class RestoreErrno {
public:
  RestoreErrno() : m_saved(errno) {}
  ~RestoreErrno() { errno = m_saved; }
  RestoreErrno(const RestoreErrno&) = delete;
  RestoreErrno& operator=(const RestoreErrno&) = delete;

private:
  int m_saved;
};

// Whether s shows events (POLLIN, POLLOUT) within seconds and microseconds
// (negative parts count as 0); false for a closed socket.
bool WaitReady(SOCKET s, short events, long seconds, long microseconds);
// SO_RCVTIMEO / SO_SNDTIMEO of milliseconds (0 or less: no limit); 0 or -1.
int SetTimeOutOption(SOCKET s, int option, long milliseconds);
// Both time-outs on a socket just opened.
void ApplyTimeOuts(SOCKET s, long sendMilliseconds, long receiveMilliseconds);
// recv / send (never raising SIGPIPE) restarted after signals.
ssize_t RecvRetrying(SOCKET s, char* buffer, std::size_t length, int flags);
ssize_t SendRetrying(SOCKET s, const char* data, std::size_t length);
// The host of a name that may be an e-mail address: the text after the last
// '@' when one stands after the first character, else name itself.
const char* HostPart(const char* name);

}  // namespace zerth::detail
