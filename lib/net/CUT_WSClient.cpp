// CUT_WSClient: construction, connections, settings and the asynchronous
// notification window. Transfers are in CUT_WSClientTransfer.cpp, names and
// parsing in CUT_WSClientText.cpp.
#include <zerth/CUT_WSClient.h>

#include "SocketCalls.h"

#include <zplatform/SocketWait.h>

#include <cerrno>
#include <cstring>

using zerth::detail::RestoreErrno;

namespace {

constexpr WORD kWinsockVersion = 0x0101;
constexpr UINT kAttachMessage = WM_USER + 127;
constexpr UINT kSelectMessage = WM_USER + 128;
constexpr UINT kNameMessage = WM_USER + 129;
constexpr UINT kAddressMessage = WM_USER + 130;

sockaddr_in MakeAddress(int family, unsigned port, in_addr address) {
  sockaddr_in result{};
  result.sin_family = static_cast<sa_family_t>(family);
  result.sin_port = htons(static_cast<std::uint16_t>(port));
  result.sin_addr = address;
  return result;
}

// Closes s (keeping errno for WSAGetLastError) and marks it closed.
void Discard(SOCKET& s) {
  RestoreErrno keep;
  closesocket(s);
  s = INVALID_SOCKET;
}

}  // namespace

CUT_WSClient::CUT_WSClient()
    : m_nPort(0), m_szAddress{}, m_nProtocol(0), m_nFamily(AF_INET), m_nSockType(SOCK_STREAM), m_WSAData{},
      m_clientSocket(INVALID_SOCKET), m_clientSocketAddr{}, m_serverSocket(INVALID_SOCKET), m_serverSocketAddr{},
      m_hAsyncWnd(nullptr), m_lSendTimeOut(0), m_lRecvTimeOut(0), m_hostEntBuffer{}, m_recvCallBack(nullptr),
      m_sendCallBack(nullptr) {
  WSAStartup(kWinsockVersion, &m_WSAData);
  SetReceiveTimeOut(10000);
  SetSendTimeOut(10000);
}

CUT_WSClient::~CUT_WSClient() {
  CloseConnection();
  WSACleanup();
  if (m_hAsyncWnd != nullptr) DestroyWindow(m_hAsyncWnd);
}

int CUT_WSClient::ReceiveFileStatus(long bytesSoFar) {
  return m_recvCallBack != nullptr ? m_recvCallBack(bytesSoFar) : 1;
}

int CUT_WSClient::SendFileStatus(long bytesSoFar) {
  return m_sendCallBack != nullptr ? m_sendCallBack(bytesSoFar) : 1;
}

void CUT_WSClient::OnAsyncNotify(int, int) {}
void CUT_WSClient::OnAsyncGetNameNotify(int) {}
void CUT_WSClient::OnAsyncGetAddressNotify(int) {}

int CUT_WSClient::Reset() {
  WSACleanup();
  return WSAStartup(kWinsockVersion, &m_WSAData) == 0 ? 0 : 1;
}

bool CUT_WSClient::StoreAddress(const char* address) {
  m_szAddress[0] = '\0';
  if (address == nullptr) return false;
  const std::size_t length = strnlen(address, sizeof m_szAddress);
  if (length >= sizeof m_szAddress) return false;  // a cut address would name another host
  std::memcpy(m_szAddress, address, length + 1);
  return true;
}

bool CUT_WSClient::OpenClientSocket(int family, int type) {
  m_clientSocket = socket(family, type | SOCK_CLOEXEC, 0);
  if (m_clientSocket == INVALID_SOCKET) return false;
  zerth::detail::ApplyTimeOuts(m_clientSocket, m_lSendTimeOut, m_lRecvTimeOut);
  return true;
}

int CUT_WSClient::Connect(unsigned int port, const char* address, int family, int type) {
  if (m_clientSocket != INVALID_SOCKET) return 1;
  m_nPort = port;
  m_nFamily = family;
  m_nSockType = type;
  in_addr remote{};
  if (!StoreAddress(address) || port > 65535 || inet_aton(m_szAddress, &remote) == 0) {
    errno = EINVAL;
    return 3;
  }
  if (!OpenClientSocket(family, type)) return 2;
  const sockaddr_in peer = MakeAddress(family, port, remote);
  const bool limited = m_lSendTimeOut > 0;
  if (limited) zplatform::SetSocketBlocking(m_clientSocket, false);
  if (connect(m_clientSocket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
    zplatform::SetSocketBlocking(m_clientSocket, true);
    m_clientSocketAddr = peer;
    return 0;
  }
  if (!limited || (errno != EINPROGRESS && errno != EAGAIN)) {
    Discard(m_clientSocket);
    return 3;
  }
  if (WaitForSend(m_lSendTimeOut / 1000, 0) != 0) {
    errno = ETIMEDOUT;
    Discard(m_clientSocket);
    return 4;
  }
  // Writable also means refused: only a clean SO_ERROR is a connection.
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(m_clientSocket, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
    if (error != 0) errno = error;
    Discard(m_clientSocket);
    return 3;
  }
  zplatform::SetSocketBlocking(m_clientSocket, true);
  m_clientSocketAddr = peer;
  return 0;
}

int CUT_WSClient::ConnectBound(unsigned int localPort, unsigned int remotePort, const char* localAddress,
                               const char* remoteAddress, int family, int type) {
  if (m_clientSocket != INVALID_SOCKET) return 1;
  m_nPort = remotePort;
  const bool stored = StoreAddress(remoteAddress);
  m_nFamily = family;
  m_nSockType = type;
  if (!OpenClientSocket(family, type)) return 2;
  in_addr local{};
  local.s_addr = htonl(INADDR_ANY);
  if (localPort > 65535 || (localAddress != nullptr && inet_aton(localAddress, &local) == 0)) {
    errno = EINVAL;
    return 3;
  }
  const sockaddr_in self = MakeAddress(family, localPort, local);
  if (bind(m_clientSocket, reinterpret_cast<const sockaddr*>(&self), sizeof self) != 0) return 3;
  in_addr remote{};
  if (!stored || remotePort > 65535 || inet_aton(m_szAddress, &remote) == 0) {
    errno = EINVAL;
    return 4;
  }
  const sockaddr_in peer = MakeAddress(family, remotePort, remote);
  if (connect(m_clientSocket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) return 4;
  m_clientSocketAddr = peer;
  return 0;
}

int CUT_WSClient::CreateUDPSocket(unsigned int localPort, unsigned int remotePort, const char* localAddress,
                                  const char* remoteAddress) {
  if (m_clientSocket != INVALID_SOCKET) return 1;
  m_nPort = remotePort;
  StoreAddress(remoteAddress);
  m_nFamily = AF_INET;
  m_nSockType = SOCK_DGRAM;
  if (!OpenClientSocket(AF_INET, SOCK_DGRAM)) return 2;
  in_addr local{};
  local.s_addr = htonl(INADDR_ANY);
  if (localPort > 65535 || (localAddress != nullptr && inet_aton(localAddress, &local) == 0)) {
    errno = EINVAL;
    return 3;
  }
  const sockaddr_in self = MakeAddress(AF_INET, localPort, local);
  return bind(m_clientSocket, reinterpret_cast<const sockaddr*>(&self), sizeof self) == 0 ? 0 : 3;
}

int CUT_WSClient::CreateUDPSocket(unsigned int localPort, unsigned int remotePort, const char* remoteAddress) {
  return CreateUDPSocket(localPort, remotePort, nullptr, remoteAddress);
}

int CUT_WSClient::WaitForConnect(unsigned short port, int backlog, short family, unsigned long address) {
  if (m_serverSocket != INVALID_SOCKET) return 1;
  m_serverSocket = socket(family, SOCK_STREAM | SOCK_CLOEXEC, m_nProtocol);
  if (m_serverSocket == INVALID_SOCKET) return 2;
  // As on Windows, a port whose last connection lingers in TIME_WAIT can be
  // listened on again at once (Linux still refuses a second listener).
  const int reuse = 1;
  setsockopt(m_serverSocket, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  in_addr local{};
  local.s_addr = static_cast<in_addr_t>(address);
  m_serverSocketAddr = MakeAddress(family, port, local);
  if (bind(m_serverSocket, reinterpret_cast<const sockaddr*>(&m_serverSocketAddr), sizeof m_serverSocketAddr) != 0)
    return 3;
  return listen(m_serverSocket, backlog) == 0 ? 0 : 4;
}

int CUT_WSClient::WaitForConnect(unsigned short port, int backlog) {
  return WaitForConnect(port, backlog, AF_INET, htonl(INADDR_ANY));
}

int CUT_WSClient::WaitForConnect(unsigned short port) {
  return WaitForConnect(port, 1, AF_INET, htonl(INADDR_ANY));
}

int CUT_WSClient::WaitForAccept(long seconds) {
  return zerth::detail::WaitReady(m_serverSocket, POLLIN, seconds, 0) ? 0 : 1;
}

int CUT_WSClient::AcceptConnection() {
  // An open connection socket would be lost, still open, under the new one.
  if (m_clientSocket != INVALID_SOCKET || m_serverSocket == INVALID_SOCKET) return 1;
  socklen_t length = sizeof m_clientSocketAddr;
  SOCKET accepted;
  do {
    accepted = accept4(m_serverSocket, reinterpret_cast<sockaddr*>(&m_clientSocketAddr), &length, SOCK_CLOEXEC);
  } while (accepted == INVALID_SOCKET && errno == EINTR);
  if (accepted == INVALID_SOCKET) return 1;
  m_clientSocket = accepted;
  m_nSockType = SOCK_STREAM;
  zerth::detail::ApplyTimeOuts(m_clientSocket, m_lSendTimeOut, m_lRecvTimeOut);
  return 0;
}

int CUT_WSClient::CloseConnection() {
  int result = 0;
  if (m_clientSocket != INVALID_SOCKET) {
    if (m_nSockType == SOCK_STREAM && shutdown(m_clientSocket, SD_BOTH) != 0) result |= 1;
    if (closesocket(m_clientSocket) != 0) result |= 2;
  }
  if (m_serverSocket != INVALID_SOCKET) {
    if (shutdown(m_serverSocket, SD_BOTH) != 0) result |= 4;
    if (closesocket(m_serverSocket) != 0) result |= 8;
  }
  m_clientSocket = INVALID_SOCKET;
  m_serverSocket = INVALID_SOCKET;
  return result;
}

int CUT_WSClient::IsConnected() {
  if (m_clientSocket == INVALID_SOCKET) return 0;
  const int readable = zplatform::WaitSocket(m_clientSocket, POLLIN, 0);
  if (readable < 0) {
    const int code = WSAGetLastError();
    if (code == WSAENOTSOCK || code == WSAENETDOWN || code == WSANOTINITIALISED) return 0;
  }
  // The peek must not wait; the socket's own mode comes back afterwards
  // (under asynchronous selection it stays non-blocking).
  const bool wasBlocking = zplatform::IsSocketBlocking(m_clientSocket);
  zplatform::SetSocketBlocking(m_clientSocket, false);
  auto restore = [&] {
    RestoreErrno keep;
    zplatform::SetSocketBlocking(m_clientSocket, wasBlocking);
  };
  char byte = 0;
  const ssize_t peeked = zerth::detail::RecvRetrying(m_clientSocket, &byte, 1, MSG_PEEK);
  if (peeked >= 0) {
    restore();
    return peeked > 0 || readable != 1 ? 1 : 0;
  }
  switch (WSAGetLastError()) {
    case WSAEWOULDBLOCK:
      restore();
      return readable != 1 ? 1 : 0;
    case WSAEINPROGRESS:
      restore();
      return 1;
    case WSAECONNRESET:
      restore();
      return 0;
    case WSAEINTR:
    case WSAEFAULT:
    case WSAEINVAL:
    case WSAENOTSOCK:
    case WSAEMSGSIZE:
    case WSAEOPNOTSUPP:
    case WSAENETDOWN:
    case WSAENETRESET:
    case WSAEISCONN:
    case WSAESHUTDOWN:
    case WSAETIMEDOUT:
      return 0;  // dead: left non-blocking
    default:
      restore();
      return 1;
  }
}

int CUT_WSClient::WaitForSend(long seconds, long microseconds) {
  return zerth::detail::WaitReady(m_clientSocket, POLLOUT, seconds, microseconds) ? 0 : 1;
}

int CUT_WSClient::WaitForReceive(long seconds, long microseconds) {
  return zerth::detail::WaitReady(m_clientSocket, POLLIN, seconds, microseconds) ? 0 : 1;
}

int CUT_WSClient::SetReceiveTimeOut(int milliseconds) {
  m_lRecvTimeOut = milliseconds;
  return zerth::detail::SetTimeOutOption(m_clientSocket, SO_RCVTIMEO, milliseconds);
}

int CUT_WSClient::SetSendTimeOut(int milliseconds) {
  m_lSendTimeOut = milliseconds;
  return zerth::detail::SetTimeOutOption(m_clientSocket, SO_SNDTIMEO, milliseconds);
}

int CUT_WSClient::SetBlockingMode(int mode) {
  u_long argument = mode != 0 ? 1 : 0;
  return ioctlsocket(m_clientSocket, static_cast<long>(FIONBIO), &argument) == 0 ? 0 : 1;
}

int CUT_WSClient::GetMaxSend() {
  int value = 0;
  return GetSocketOption(SO_SNDBUF, &value) == 0 ? value : -1;
}

int CUT_WSClient::GetMaxReceive() {
  int value = 0;
  return GetSocketOption(SO_RCVBUF, &value) == 0 ? value : -1;
}

int CUT_WSClient::SetMaxSend(int bytes) {
  return SetSocketOption(SO_SNDBUF, &bytes);
}

int CUT_WSClient::SetMaxReceive(int bytes) {
  return SetSocketOption(SO_RCVBUF, &bytes);
}

int CUT_WSClient::SetSocketOption(int option, void* value) {
  return setsockopt(m_clientSocket, SOL_SOCKET, option, value, 4);
}

int CUT_WSClient::GetSocketOption(int option, void* value) {
  socklen_t length = 4;
  return getsockopt(m_clientSocket, SOL_SOCKET, option, value, &length);
}

void CUT_WSClient::SetRecvCallBackFunction(int (*callback)(long)) {
  m_recvCallBack = callback;
}

void CUT_WSClient::SetSendCallBackFunction(int (*callback)(long)) {
  m_sendCallBack = callback;
}

unsigned int CUT_WSClient::GetPort() const {
  return m_nPort;
}

SOCKET CUT_WSClient::GetSocket() const {
  return m_clientSocket;
}

// ---- Asynchronous notification ----------------------------------------------

LRESULT CUT_WSClient::NotifyWindowProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message == kAttachMessage) {
    SetWindowLongPtr(window, 0, lParam);
    return 1;
  }
  auto* client = reinterpret_cast<CUT_WSClient*>(GetWindowLongPtr(window, 0));
  if (client == nullptr) return 0;
  switch (message) {
    case kSelectMessage:
      client->OnAsyncNotify(WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
      return 0;
    case kNameMessage:
      client->OnAsyncGetNameNotify(WSAGETASYNCERROR(lParam));
      return 0;
    case kAddressMessage:
      client->OnAsyncGetAddressNotify(WSAGETASYNCERROR(lParam));
      return 0;
    default:
      return 0;
  }
}

int CUT_WSClient::InitAsync(HINSTANCE) {
  if (m_hAsyncWnd != nullptr) return 0;
  m_hAsyncWnd = CreateNotifyWindow(&CUT_WSClient::NotifyWindowProc);
  if (m_hAsyncWnd == nullptr) return 1;
  SendMessage(m_hAsyncWnd, kAttachMessage, 0, reinterpret_cast<LPARAM>(this));
  return 0;
}

int CUT_WSClient::SetAsyncNotify(long events) {
  if (m_hAsyncWnd == nullptr) return 1;
  return WSAAsyncSelect(m_clientSocket, m_hAsyncWnd, kSelectMessage, events) == SOCKET_ERROR ? 1 : 0;
}

int CUT_WSClient::AsyncGetNameFromAddress(const char* address, char*, int) {
  in_addr wanted{};
  if (m_hAsyncWnd == nullptr || address == nullptr) return 1;
  wanted.s_addr = inet_addr(address);
  return WSAAsyncGetHostByAddr(m_hAsyncWnd, kNameMessage, reinterpret_cast<const char*>(&wanted), sizeof wanted,
                               AF_INET, m_hostEntBuffer, sizeof m_hostEntBuffer) != nullptr
             ? 0
             : 1;
}

int CUT_WSClient::AsyncGetAddressFromName(const char* name, char*, int) {
  if (m_hAsyncWnd == nullptr || name == nullptr) return 1;
  return WSAAsyncGetHostByName(m_hAsyncWnd, kAddressMessage, zerth::detail::HostPart(name), m_hostEntBuffer,
                               sizeof m_hostEntBuffer) != nullptr
             ? 0
             : 1;
}
