// CAppOctetStream: the content agent for file attachments: the file named by
// the part's content, base64-encoded as "application/octet-stream" with 72
// characters a line. Owns nothing; the file is open only while it is read.
// Only a regular file of at most kMaxAttachmentBytes (64 MiB) is attached:
// a larger one, a device (such as /dev/zero, which never ends), a FIFO or a
// socket gives the same empty part as a file that cannot be read, so that no
// attachment can exhaust memory or block the caller.
#pragma once

#include <zerth/CMIMEContentAgent.h>
#include <zerth/Export.h>

#include <cstddef>
#include <string>

class ZERTH_API CAppOctetStream : public CMIMEContentAgent {
public:
  // The largest file attached, in bytes.
  static constexpr std::size_t kMaxAttachmentBytes = std::size_t{64} * 1024 * 1024;

  explicit CAppOctetStream(int nContentType) : CMIMEContentAgent(nContentType) {}
  CAppOctetStream(const CAppOctetStream&) = default;
  CAppOctetStream& operator=(const CAppOctetStream&) = default;
  ~CAppOctetStream() override;

  // szContent is the file's path. Appends the sub-header and the file's
  // base64 lines and returns non-zero; returns zero and appends nothing when
  // the path is null or the file cannot be opened for reading (missing,
  // unreadable, locked by a writer, not a regular file, or larger than
  // kMaxAttachmentBytes).
  int AppendPart(const char* szContent, const char* szParameters, int nEncoding, int bPath,
                 std::string& sDestination) override;
  // "application/octet-stream".
  std::string GetContentTypeString() override;

protected:
  // Content-Type (with "; file=" and the file's name when bPath is set),
  // "Content-Transfer-Encoding: base64", Content-Disposition with the file's
  // name, and the empty line. Only the name and extension of the path are
  // written: unquoted as they are, or, for a name holding a character
  // outside printable ASCII or one of ()<>@,;:\"/[]?= , as an RFC 2231
  // parameter ("filename*=utf-8''" and the bytes percent-encoded). Control
  // characters in the name, line breaks among them, are written as blanks.
  // The parameters text is not used.
  std::string build_sub_header(const char* szContent, const char* szParameters, int nEncoding, int bPath) override;

  // Appends the base64 text of the open file descriptor fd (the caller's,
  // not closed here) from its current position to its end: a line of at most
  // 72 characters per 54 bytes, a last line for the last short piece (empty
  // when the size is a multiple of 54), then an empty line. Only a regular
  // file read whole within kMaxAttachmentBytes gives lines; otherwise (a read
  // error, a file grown past the limit) there is only the empty line. Does
  // nothing when fd is negative. The encoding code is not used.
  virtual void attach_file(int fd, int nEncoding, std::string& sDestination);
};
