// SmtpReplyBuffer: the SMTP client's 1024-byte reply buffer (internal to the
// library) and the reading of one whole reply into it: every line up to the
// final one ("ddd text"), however the server splits it into segments, with
// continuation lines ("ddd-text") read and dropped. Bytes after the final
// line stay for the next reply. A line longer than the buffer keeps its
// code and its continuation mark; the rest of it is dropped. The socket's
// time-out bounds the whole reply, not each receive, so a server that
// trickles bytes or never ends a line or a reply cannot hold the client.
#pragma once

#include "BlockingSocket.h"

#include <cstddef>
#include <string_view>

namespace zerth::detail {

class SmtpReplyBuffer {
public:
  static constexpr std::size_t kSize = 1024;

  // Reads one whole reply; false when a receive failed, the server closed
  // the connection before the reply's final line, or that line had not come
  // within the socket's time-out (counted from this call).
  [[nodiscard]] bool Read(BlockingSocket& socket);
  // The number formed by the leading digits (at most three) of the reply's
  // first line; 0 when it starts with none.
  int Code() const { return m_code; }

  // The number at the start of a reply line, as Code() describes it.
  static int ParseCode(std::string_view line);
  // True for a line that announces more lines: three digits and a '-'.
  static bool IsContinuation(std::string_view line);

private:
  void Drop(std::size_t count);

  char m_data[kSize];
  std::size_t m_used = 0;  // bytes in m_data not yet part of a reply read
  int m_code = 0;
};

}  // namespace zerth::detail
