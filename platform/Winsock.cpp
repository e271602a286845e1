// Winsock over POSIX sockets: start-up bookkeeping, the error codes, and the
// descriptor calls that have no POSIX name of their own.
#include <zplatform/Winsock.h>

#include <zplatform/SocketWait.h>

#include "AsyncSelect.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

std::atomic<int> g_startups{0};

// The code given to WSASetLastError, valid while errno still holds the
// value it had then (a failing system call since replaces it).
struct SetError {
  int code = 0;
  int errnoThen = 0;
};
thread_local SetError t_setError;

void CopyText(char* target, std::size_t size, const char* text) {
  std::strncpy(target, text, size - 1);
  target[size - 1] = '\0';
}

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (data == nullptr) return WSAEFAULT;
  *data = WSADATA{};
  data->wVersion = versionRequested;
  data->wHighVersion = MAKEWORD(2, 2);
  CopyText(data->szDescription, sizeof data->szDescription, "WinSock 2.0 over POSIX sockets");
  CopyText(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
  if ((versionRequested & 0xFF) == 0) return WSAVERNOTSUPPORTED;
  g_startups.fetch_add(1);
  return 0;
}

int WSACleanup() {
  int count = g_startups.load();
  while (count > 0 && !g_startups.compare_exchange_weak(count, count - 1)) {
  }
  if (count > 0) return 0;
  WSASetLastError(WSANOTINITIALISED);
  return SOCKET_ERROR;
}

int WSAErrorFromErrno(int error) {
  switch (error) {
    case 0: return 0;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAENOTSOCK;  // Winsock knows only sockets
    case EACCES: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE: return WSAEMFILE;
    case EAGAIN: return WSAEWOULDBLOCK;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return WSAEWOULDBLOCK;
#endif
    case EINPROGRESS: return WSAEINPROGRESS;
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTOTYPE: return WSAEPROTOTYPE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: return WSAECONNRESET;
    case EPIPE: return WSAECONNRESET;  // the stream is gone: what Winsock reports for a send after a reset
    case ENOBUFS: return WSAENOBUFS;
    case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETOOMANYREFS: return WSAETOOMANYREFS;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case ELOOP: return WSAELOOP;
    case ENAMETOOLONG: return WSAENAMETOOLONG;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    case ENOTEMPTY: return WSAENOTEMPTY;
    case EUSERS: return WSAEUSERS;
    case EDQUOT: return WSAEDQUOT;
    case ESTALE: return WSAESTALE;
    case EREMOTE: return WSAEREMOTE;
    default: return WSABASEERR + error;
  }
}

int WSAGetLastError() {
  if (t_setError.code != 0 && errno == t_setError.errnoThen) return t_setError.code;
  return WSAErrorFromErrno(errno);
}

void WSASetLastError(int error) {
  // errno is set to a value no system call gives, so that the next failing
  // call, whatever its errno, takes over.
  errno = 0;
  t_setError = {error, 0};
  if (error == 0) t_setError = {};
}

int closesocket(SOCKET s) {
  zplatform::detail::EndAsyncSelect(s);
  if (::close(s) == 0) return 0;
  return SOCKET_ERROR;
}

int ioctlsocket(SOCKET s, long cmd, u_long* argp) {
  if (argp == nullptr) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  if (cmd == static_cast<long>(FIONBIO)) {
    return zplatform::SetSocketBlocking(s, *argp == 0) ? 0 : SOCKET_ERROR;
  }
  if (cmd == static_cast<long>(FIONREAD)) {
    int waiting = 0;
    if (::ioctl(s, FIONREAD, &waiting) != 0) return SOCKET_ERROR;
    *argp = static_cast<u_long>(waiting < 0 ? 0 : waiting);
    return 0;
  }
  errno = EINVAL;
  return SOCKET_ERROR;
}
