// CUT_WSClient: sending and receiving, by buffer, line, file and datagram.
#include <zerth/CUT_WSClient.h>

#include "SocketCalls.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using zerth::detail::RecvRetrying;
using zerth::detail::SendRetrying;

namespace {

constexpr std::size_t kFileBlock = 20480;
constexpr std::size_t kDiscardBuffer = 32752;
constexpr int kDiscardRead = 32750;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Sends all of data, across short sends; false on a failure.
bool SendWhole(SOCKET s, const char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t sent = SendRetrying(s, data, length);
    if (sent <= 0) return false;
    data += sent;
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

// Where a CR LF starts within bytes, or -1.
long FindLineEnd(const char* bytes, long count) {
  for (long i = 0; i + 1 < count; ++i) {
    if (bytes[i] == '\r' && bytes[i + 1] == '\n') return i;
  }
  return -1;
}

}  // namespace

int CUT_WSClient::Send(const char* data, int len) {
  if (data == nullptr) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  const std::size_t length = len > 0 ? static_cast<std::size_t>(len) : std::strlen(data);
  return static_cast<int>(SendRetrying(m_clientSocket, data, length));
}

int CUT_WSClient::SendAsLine(const char* data, int len, int lineLen) {
  if (data == nullptr || lineLen <= 0) return 0;
  if (len < 0) len = static_cast<int>(strnlen(data, static_cast<std::size_t>(INT_MAX)));
  int total = 0;
  for (long long position = 0; position < len; position += lineLen) {
    const long long remaining = len - position;
    const int piece = static_cast<int>(remaining < lineLen ? remaining : lineLen);
    const int sent = Send(data + position, piece);
    if (sent <= 0) break;
    total += sent;
    if (Send("\r\n", 2) <= 0) break;
  }
  return total;
}

int CUT_WSClient::SendFile(const char* path, long* bytesSent) {
  long ignored = 0;
  long& sentSoFar = bytesSent != nullptr ? *bytesSent : ignored;
  sentSoFar = 0;
  File file(path != nullptr ? std::fopen(path, "rb") : nullptr);
  if (!file) return 1;
  std::vector<char> block(kFileBlock);
  for (;;) {
    const std::size_t read = std::fread(block.data(), 1, block.size(), file.get());
    // A file that cannot be read (a folder, an I/O error) did not go out.
    if (read == 0) return std::ferror(file.get()) != 0 ? 1 : 0;
    // One block whole: a short send would drop the rest of it.
    if (!SendWhole(m_clientSocket, block.data(), read)) return 2;
    sentSoFar += static_cast<long>(read);
    if (SendFileStatus(sentSoFar) == 0) return 0;
  }
}

int CUT_WSClient::SendTo(const char* data, int& len) {
  if (m_clientSocket == INVALID_SOCKET) return 1;
  sockaddr_in peer{};
  peer.sin_family = static_cast<sa_family_t>(m_nFamily);
  peer.sin_port = htons(static_cast<std::uint16_t>(m_nPort));
  if (data == nullptr || len < 0 || m_nPort > 65535 || inet_aton(m_szAddress, &peer.sin_addr) == 0) {
    errno = data == nullptr ? EFAULT : EINVAL;
    len = SOCKET_ERROR;
    return 2;
  }
  ssize_t sent;
  do {
    sent = sendto(m_clientSocket, data, static_cast<std::size_t>(len), MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
  } while (sent < 0 && errno == EINTR);
  len = static_cast<int>(sent);
  return sent == SOCKET_ERROR ? 2 : 0;
}

int CUT_WSClient::ReceiveFrom(char* buffer, int& len, unsigned long seconds) {
  if (m_clientSocket == INVALID_SOCKET) return 1;
  const long wait = seconds > 2000000UL ? 2000000L : static_cast<long>(seconds);
  if (WaitForReceive(wait, 0) != 0) return 2;
  if (buffer == nullptr || len < 0) {
    errno = buffer == nullptr ? EFAULT : EINVAL;
    len = SOCKET_ERROR;
    return 3;
  }
  socklen_t length = sizeof m_clientSocketAddr;
  ssize_t received;
  do {
    received = recvfrom(m_clientSocket, buffer, static_cast<std::size_t>(len), 0,
                        reinterpret_cast<sockaddr*>(&m_clientSocketAddr), &length);
  } while (received < 0 && errno == EINTR);
  len = static_cast<int>(received);
  return received == SOCKET_ERROR ? 3 : 0;
}

int CUT_WSClient::Receive(char* buffer, int maxLen, int seconds) {
  if (seconds > 0 && WaitForReceive(seconds, 0) != 0) return 0;
  return Receive(buffer, maxLen);
}

int CUT_WSClient::Receive(char* buffer, int maxLen) {
  if (buffer == nullptr || maxLen < 0) {
    errno = buffer == nullptr ? EFAULT : EINVAL;
    return SOCKET_ERROR;
  }
  return static_cast<int>(RecvRetrying(m_clientSocket, buffer, static_cast<std::size_t>(maxLen), 0));
}

int CUT_WSClient::ReceiveLine(char* buffer, int maxLen, int seconds) {
  if (buffer == nullptr || maxLen <= 1) return 0;
  long room = static_cast<long>(maxLen) - 1;  // one byte for the terminator
  long total = 0;
  while (room > 0) {
    if (seconds > 0 && WaitForReceive(seconds, 0) != 0) break;
    char* end = buffer + total;
    const ssize_t peeked = RecvRetrying(m_clientSocket, end, static_cast<std::size_t>(room), MSG_PEEK);
    if (peeked < 1) break;
    // A CR that ended the last piece: the byte after it ends the line.
    if (total > 0 && buffer[total - 1] == '\r') {
      if (RecvRetrying(m_clientSocket, end, 1, 0) != 1) break;
      end[1] = '\0';
      return static_cast<int>(total + 1);
    }
    const long lineEnd = FindLineEnd(end, static_cast<long>(peeked));
    const long wanted = lineEnd >= 0 ? lineEnd + 2 : static_cast<long>(peeked);
    const ssize_t taken = RecvRetrying(m_clientSocket, end, static_cast<std::size_t>(wanted), 0);
    if (taken < 1) break;
    total += taken;
    room -= taken;
    buffer[total] = '\0';
    if (lineEnd >= 0 && taken == wanted) return static_cast<int>(total);
  }
  return static_cast<int>(total);
}

int CUT_WSClient::ReceiveToFile(const char* path, int mode, long* bytesReceived, int seconds) {
  long ignored = 0;
  long& receivedSoFar = bytesReceived != nullptr ? *bytesReceived : ignored;
  receivedSoFar = 0;
  if (mode != 1 && mode != 2) return 1;
  File file(path != nullptr ? std::fopen(path, mode == 1 ? "w+b" : "a+b") : nullptr);
  if (!file) return 2;
  std::vector<char> block(kFileBlock);
  for (;;) {
    if (seconds > 0 && WaitForReceive(seconds, 0) != 0) return 3;
    const int received = Receive(block.data(), static_cast<int>(block.size()));
    if (received == 0) break;
    if (received < 0) return 4;
    if (std::fwrite(block.data(), 1, static_cast<std::size_t>(received), file.get()) !=
        static_cast<std::size_t>(received))
      return 5;
    receivedSoFar += received;
    if (ReceiveFileStatus(receivedSoFar) == 0) return 6;
  }
  // What the C library still holds reaches the file only here.
  return std::fclose(file.release()) == 0 ? 0 : 5;
}

int CUT_WSClient::ClearReceiveBuffer() {
  std::vector<char> discard(kDiscardBuffer);
  while (IsDataWaiting() != 0 && Receive(discard.data(), kDiscardRead) > 0) {
  }
  return 0;
}

int CUT_WSClient::IsDataWaiting() {
  u_long waiting = 0;
  return ioctlsocket(m_clientSocket, static_cast<long>(FIONREAD), &waiting) == 0 && waiting > 0 ? 1 : 0;
}
