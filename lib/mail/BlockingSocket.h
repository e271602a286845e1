// BlockingSocket: the SMTP client's own TCP connection over IPv4 (internal to
// the library): create, connect by dotted address or host name, send all,
// receive, close, each blocking for at most the time-out given. Owns the
// descriptor; closing is automatic.
#pragma once

#include <zplatform/UniqueFd.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace zerth::detail {

class BlockingSocket {
public:
  // Creates an IPv4 stream socket; false when the system refuses one.
  [[nodiscard]] bool Create();
  // Connects to host:port; host is tried as a dotted IPv4 address first and
  // otherwise resolved by name, the first address found being used. Gives up
  // after timeoutSeconds (0: the system's own limit). False on any failure.
  [[nodiscard]] bool Connect(const std::string& host, unsigned port, unsigned timeoutSeconds);
  // Sends every byte of data; false on error, time-out or a closed peer (no SIGPIPE).
  bool SendAll(std::string_view data);
  // One receive into buffer: the number of bytes (> 0), 0 at the end of the
  // stream, -1 on error or when nothing arrived within the time-out.
  [[nodiscard]] long Receive(std::span<char> buffer);
  void Close();
  bool IsOpen() const { return m_fd.valid(); }

private:
  bool SetTimeouts(unsigned seconds);

  zplatform::UniqueFd m_fd;
};

// The local host name as the system reports it, at most maxBytes bytes;
// "localhost" when the system has none.
std::string LocalHostName(std::size_t maxBytes);

}  // namespace zerth::detail
