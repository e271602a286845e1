// BlockingSocket: the SMTP client's own TCP connection over IPv4 (internal to
// the library): create, connect by dotted address or host name, send all,
// receive, close, each blocking for at most the time-out given (a receive
// also for at most what is left until a deadline). Owns the descriptor;
// closing is automatic.
#pragma once

#include <zplatform/UniqueFd.h>

#include <chrono>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace zerth::detail {

class BlockingSocket {
public:
  using Clock = std::chrono::steady_clock;
  // A deadline that never comes.
  static constexpr Clock::time_point kNoDeadline = Clock::time_point::max();

  // Creates an IPv4 stream socket; false when the system refuses one.
  [[nodiscard]] bool Create();
  // Connects to host:port; host is tried as a dotted IPv4 address first and
  // otherwise resolved by name, the first address found being used. Gives up
  // after timeoutSeconds (0: the system's own limit). False on any failure.
  [[nodiscard]] bool Connect(const std::string& host, unsigned port, unsigned timeoutSeconds);
  // Sends every byte of data; false on error, a closed peer (no SIGPIPE) or
  // when one send makes no progress within the time-out.
  [[nodiscard]] bool SendAll(std::string_view data);
  // One receive into buffer: the number of bytes (> 0), 0 at the end of the
  // stream, -1 on error or when nothing arrived within the time-out or
  // before the deadline.
  [[nodiscard]] long Receive(std::span<char> buffer, Clock::time_point deadline = kNoDeadline);
  void Close();
  bool IsOpen() const { return m_fd.valid(); }
  // The time-out given to Connect, in seconds; 0 for none.
  unsigned TimeoutSeconds() const { return m_timeoutSeconds; }

private:
  bool SetTimeouts(unsigned seconds);
  // Waits until the socket has something to read; false when the deadline
  // passed first or the wait failed.
  bool WaitReadable(Clock::time_point deadline) const;

  zplatform::UniqueFd m_fd;
  unsigned m_timeoutSeconds = 0;
};

// The local host name as the system reports it, at most maxBytes bytes;
// "localhost" when the system has none.
std::string LocalHostName(std::size_t maxBytes);

}  // namespace zerth::detail
