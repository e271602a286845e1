// CAppOctetStream: the content agent for file attachments: the file named by
// the part's content, base64-encoded as "application/octet-stream" with 72
// characters a line. Owns nothing; the file is open only while it is read.
#pragma once

#include <zerth/CMIMEContentAgent.h>

#include <string>

class CAppOctetStream : public CMIMEContentAgent {
public:
  explicit CAppOctetStream(int nContentType) : CMIMEContentAgent(nContentType) {}
  CAppOctetStream(const CAppOctetStream&) = default;
  CAppOctetStream& operator=(const CAppOctetStream&) = default;
  ~CAppOctetStream() override;

  // szContent is the file's path. Appends the sub-header and the file's
  // base64 lines and returns non-zero; returns zero and appends nothing when
  // the path is null or the file cannot be opened for reading (missing,
  // unreadable, a folder, or locked by a writer).
  int AppendPart(const char* szContent, const char* szParameters, int nEncoding, int bPath,
                 std::string& sDestination) override;
  // "application/octet-stream".
  std::string GetContentTypeString() override;

protected:
  // Content-Type (with "; file=" and the file's name when bPath is set),
  // "Content-Transfer-Encoding: base64", Content-Disposition with the file's
  // name, and the empty line. Only the name and extension of the path are
  // written, unquoted. The parameters text is not used.
  std::string build_sub_header(const char* szContent, const char* szParameters, int nEncoding, int bPath) override;

  // Appends the base64 text of the open file descriptor fd (the caller's,
  // not closed here) from its current position: a line of at most 72
  // characters per 54 bytes read, a last line for the last short read (empty
  // when the size is a multiple of 54), then an empty line. A read error ends
  // the lines early. Does nothing when fd is negative. The encoding code is
  // not used.
  virtual void attach_file(int fd, int nEncoding, std::string& sDestination);
};
