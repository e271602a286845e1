// CMIMEContentAgent: the base of the content agents that render one part of a
// multipart message for the content-type code they handle. It owns only that
// code; the MIME message's registry owns the agents. Also defines the codes.
#pragma once

#include <zerth/Export.h>

#include <string>

// Content-type codes of MIME parts.
inline constexpr int MIME_TEXT_PLAIN = 0;        // rendered by CTextPlain
inline constexpr int MIME_APP_OCTET_STREAM = 1;  // rendered by CAppOctetStream

class ZERTH_API CMIMEContentAgent {
public:
  explicit CMIMEContentAgent(int nMIMEType) : m_nMIMEType(nMIMEType) {}
  CMIMEContentAgent(const CMIMEContentAgent&) = default;
  CMIMEContentAgent& operator=(const CMIMEContentAgent&) = default;
  virtual ~CMIMEContentAgent();

  // Non-zero exactly when nContentType is the code this agent handles.
  int QueryType(int nContentType) const { return nContentType == m_nMIMEType ? 1 : 0; }

  // Appends the rendered part (its sub-header and body, no boundary) to
  // sDestination. Returns non-zero when the part was written.
  virtual int AppendPart(const char* szContent, const char* szParameters, int nEncoding, int bPath,
                         std::string& sDestination) = 0;

  // The MIME type written in the part's Content-Type line.
  virtual std::string GetContentTypeString() = 0;

protected:
  // The part's header lines, including the empty line after them.
  virtual std::string build_sub_header(const char* szContent, const char* szParameters, int nEncoding,
                                       int bPath) = 0;

  int m_nMIMEType;
};
