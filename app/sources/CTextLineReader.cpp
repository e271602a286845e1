#include "CTextLineReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>

CTextLineReader::CTextLineReader(int fd, std::size_t chunkSize, std::size_t maxLineLength)
    : m_fd(fd),
      m_nChunkSize(std::max<std::size_t>(chunkSize, 1)),
      m_nMaxLineLength(maxLineLength),
      m_pBuffer(new char[m_nChunkSize]) {}

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

CTextLineReader::Next CTextLineReader::Finish(std::string& line, bool tooLong) const {
  if (!tooLong && line.size() <= m_nMaxLineLength) return Next::Line;
  line.clear();
  return Next::TooLong;
}

CTextLineReader::Next CTextLineReader::ReadLine(std::string& line) {
  line.clear();
  bool seenAnyByte = false;  // a last line without LF still counts
  bool textEnded = false;    // a NUL was met: skip to the line end
  bool tooLong = false;      // over the limit: skip to the line end
  for (;;) {
    if (m_nPos == m_nEnd && !Fill()) {
      if (m_bError) return Next::Error;
      return seenAnyByte ? Finish(line, tooLong) : Next::End;
    }
    seenAnyByte = true;
    const char* begin = m_pBuffer.get() + m_nPos;
    const std::size_t available = m_nEnd - m_nPos;
    const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', available));
    const std::size_t segment = lf ? static_cast<std::size_t>(lf - begin) : available;
    if (!textEnded && !tooLong) {
      const auto* nul = static_cast<const char*>(std::memchr(begin, '\0', segment));
      const std::size_t take = nul ? static_cast<std::size_t>(nul - begin) : segment;
      // One byte of slack: a CR that turns out to be part of a CR LF.
      tooLong = take > m_nMaxLineLength + 1 - line.size();
      if (tooLong) line.clear();
      else line.append(begin, take);
      textEnded = nul != nullptr;
    }
    if (!lf) {
      m_nPos = m_nEnd;
      continue;
    }
    m_nPos += segment + 1;
    // Text mode: CR LF is a line end. The CR may have come in an earlier chunk.
    if (!textEnded && !tooLong && !line.empty() && line.back() == '\r') line.pop_back();
    return Finish(line, tooLong);
  }
}
