// SmtpReplyBuffer: whole replies from the byte stream, within the buffer.
#include "SmtpReplyBuffer.h"

#include <chrono>
#include <cstring>
#include <span>

namespace zerth::detail {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

int SmtpReplyBuffer::ParseCode(std::string_view line) {
  int code = 0;
  for (std::size_t i = 0; i < line.size() && i < 3 && IsDigit(line[i]); ++i) code = code * 10 + (line[i] - '0');
  return code;
}

bool SmtpReplyBuffer::IsContinuation(std::string_view line) {
  return line.size() >= 4 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) && line[3] == '-';
}

void SmtpReplyBuffer::Drop(std::size_t count) {
  std::memmove(m_data, m_data + count, m_used - count);
  m_used -= count;
}

bool SmtpReplyBuffer::Read(BlockingSocket& socket) {
  const unsigned timeout = socket.TimeoutSeconds();
  const auto deadline =
      timeout == 0 ? BlockingSocket::kNoDeadline : BlockingSocket::Clock::now() + std::chrono::seconds(timeout);
  bool firstLine = true;
  bool inLongLine = false;   // dropping the rest of a line that did not fit
  bool longLineIsFinal = false;
  m_code = 0;
  for (;;) {
    std::string_view held(m_data, m_used);
    std::size_t lineEnd = held.find('\n');
    if (lineEnd != std::string_view::npos) {
      std::string_view line = held.substr(0, lineEnd + 1);
      bool final = inLongLine ? longLineIsFinal : !IsContinuation(line);
      if (firstLine && !inLongLine) m_code = ParseCode(line);
      firstLine = false;
      inLongLine = false;
      Drop(line.size());
      if (final) return true;
      continue;
    }
    if (m_used == kSize) {
      if (!inLongLine) {
        if (firstLine) m_code = ParseCode(held);
        firstLine = false;
        longLineIsFinal = !IsContinuation(held);
        inLongLine = true;
      }
      m_used = 0;
    }
    long received = socket.Receive(std::span<char>(m_data + m_used, kSize - m_used), deadline);
    if (received <= 0) return false;
    m_used += static_cast<std::size_t>(received);
  }
}

}  // namespace zerth::detail
