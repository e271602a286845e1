#include "CTextLineReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

CTextLineReader::CTextLineReader(int fd, std::size_t chunkSize)
    : m_fd(fd), m_nChunkSize(std::max<std::size_t>(chunkSize, 1)), m_pBuffer(new char[m_nChunkSize]) {}

CTextLineReader::~CTextLineReader() = default;

bool CTextLineReader::Fill() {
  if (m_bError) return false;
  ssize_t got;
  do {
    got = ::read(m_fd, m_pBuffer.get(), m_nChunkSize);
  } while (got < 0 && errno == EINTR);
  if (got < 0) m_bError = true;
  if (got <= 0) return false;
  m_nPos = 0;
  m_nEnd = static_cast<std::size_t>(got);  // at most m_nChunkSize
  return true;
}

CTextLineReader::Next CTextLineReader::ReadLine(std::string& line) {
  line.clear();
  bool seenAnyByte = false;  // a last line without LF still counts
  bool textEnded = false;    // a NUL was met: skip to the line end
  for (;;) {
    if (m_nPos == m_nEnd && !Fill()) {
      if (m_bError) return Next::Error;
      return seenAnyByte ? Next::Line : Next::End;
    }
    seenAnyByte = true;
    const char* begin = m_pBuffer.get() + m_nPos;
    const std::size_t available = m_nEnd - m_nPos;
    const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', available));
    const std::size_t segment = lf ? static_cast<std::size_t>(lf - begin) : available;
    if (!textEnded) {
      const auto* nul = static_cast<const char*>(std::memchr(begin, '\0', segment));
      line.append(begin, nul ? static_cast<std::size_t>(nul - begin) : segment);
      textEnded = nul != nullptr;
    }
    if (!lf) {
      m_nPos = m_nEnd;
      continue;
    }
    m_nPos += segment + 1;
    // Text mode: CR LF is a line end. The CR may have come in an earlier chunk.
    if (!textEnded && !line.empty() && line.back() == '\r') line.pop_back();
    return Next::Line;
  }
}
