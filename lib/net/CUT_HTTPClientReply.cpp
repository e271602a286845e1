// CUT_HTTPClient: reading the reply into the header and body lines (or the
// body into a file), and what the caller asks of the stored reply.
#include <zerth/CUT_HTTPClient.h>

#include <zplatform/AtomicFile.h>

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr int kLineBuffer = 512;  // a line piece is at most 511 characters
constexpr int kLineWaitSeconds = 5;
constexpr long kMaxDiscard = 1 << 20;
constexpr int kMaxHeaderName = 64;  // 63 characters and the NUL

bool EndsLine(std::string_view piece) {
  return piece.ends_with('\n');
}

}  // namespace

int CUT_HTTPClient::ReceiveReply(const Request& request, bool checkText) {
  const bool headerEnded = ReceiveHeaderLines();
  int result = 0;
  if (checkText && !StartsWithText(GetContentType())) {
    result = 5;
  } else if (request.kind == RequestKind::Head) {
    DiscardPending();
  } else if (request.kind == RequestKind::GetToFile) {
    long received = 0;
    const int written = ReceiveToFile(request.localFile, 1, &received, 0);
    if (written != 0) result = written + 5;
  } else if (headerEnded) {
    ReceiveBodyLines();
  }
  CloseConnection();
  return result;
}

bool CUT_HTTPClient::StartsWithText(std::string_view contentType) {
  for (const std::string_view wanted : {"Content-Type: text/html", "Content-Type: text/plain"})
    if (contentType.size() >= wanted.size() && strncasecmp(contentType.data(), wanted.data(), wanted.size()) == 0)
      return true;
  return false;
}

bool CUT_HTTPClient::ReceiveHeaderLines() {
  char piece[kLineBuffer];
  // A line longer than the buffer comes in pieces: the first is kept, cut,
  // the rest dropped, and only a line that starts a line can be the empty
  // one. Every piece read counts against the limit, so an endless line ends.
  bool atLineStart = true;
  for (long read = 0; read < m_lMaxLinesToStore; ++read) {
    const int length = ReceiveLine(piece, sizeof piece, kLineWaitSeconds);
    if (length <= 0) return false;
    const bool wasAtLineStart = atLineStart;
    atLineStart = EndsLine({piece, static_cast<std::size_t>(length)});
    if (!wasAtLineStart) continue;
    if (length <= 2 && atLineStart) return true;
    RemoveCRLF(piece);
    m_headerLines.AddString(piece);
  }
  return false;
}

void CUT_HTTPClient::ReceiveBodyLines() {
  char piece[kLineBuffer];
  while (m_bodyLines.GetCount() < m_lMaxLinesToStore) {
    if (ReceiveLine(piece, sizeof piece, kLineWaitSeconds) <= 0) return;
    m_bodyLines.AddString(piece);
  }
}

void CUT_HTTPClient::DiscardPending() {
  char buffer[32752];
  for (long dropped = 0; dropped < kMaxDiscard && IsDataWaiting();) {
    const int received = Receive(buffer, sizeof buffer);
    if (received <= 0) return;
    dropped += received;
  }
}

// ---- The stored reply ---------------------------------------------------------

int CUT_HTTPClient::ClearReceivedData() {
  m_headerLines.ClearList();
  m_bodyLines.ClearList();
  m_tagList.ClearList();
  m_tagListKind = TagKind::None;
  m_nLinkTagCount = m_nMetaTagCount = m_nFrameTagCount = -1;
  return 0;
}

int CUT_HTTPClient::GetHeaderLineCount() const {
  return static_cast<int>(m_headerLines.GetCount());
}

const char* CUT_HTTPClient::GetHeaderLine(int index) const {
  return m_headerLines.GetString(index);
}

long CUT_HTTPClient::GetBodyLineCount() const {
  return m_bodyLines.GetCount();
}

const char* CUT_HTTPClient::GetBodyLine(long index) const {
  return m_bodyLines.GetString(index);
}

int CUT_HTTPClient::SaveToFile(const char* path) const {
  if (!path || !*path) return 1;
  std::string bytes;
  for (long i = 0; i < m_bodyLines.GetCount(); ++i) bytes += m_bodyLines.GetString(i);
  const auto written = zplatform::WriteFileAtomically(path, bytes, 0644);
  if (written.ok()) return 0;
  return written.failedStep == zplatform::AtomicWriteStep::WriteTemporary ? 2 : 1;
}

int CUT_HTTPClient::GetServerErrorCode() const {
  const char* status = m_headerLines.GetString(0);
  if (!status) return -1;
  // Fields at single blanks: the second one starts after the first blank.
  const char* blank = std::strchr(status, ' ');
  if (!blank) return -1;
  return std::atoi(blank + 1);
}

int CUT_HTTPClient::IsGoodHttpErrorCode() const {
  const int code = GetServerErrorCode();
  return code >= 400 && code <= 599 ? 0 : 1;
}

const char* CUT_HTTPClient::FindHeaderLine(const char* name) const {
  char field[kMaxHeaderName];
  for (long i = 0; i < m_headerLines.GetCount(); ++i) {
    const char* line = m_headerLines.GetString(i);
    if (ParseString(line, ": ", 0, field, sizeof field) == 0 && strcasecmp(field, name) == 0) return line;
  }
  return nullptr;
}

const char* CUT_HTTPClient::GetModifiedDateFromHeader() const {
  return FindHeaderLine("Last-modified");
}

const char* CUT_HTTPClient::GetLengthFromHeader() const {
  return FindHeaderLine("Content-length");
}

const char* CUT_HTTPClient::GetContentType() const {
  const char* line = FindHeaderLine("Content-Type");
  return line ? line : "";
}
