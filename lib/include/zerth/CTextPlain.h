// CTextPlain: the content agent for text parts ("text/plain", labelled 7Bit,
// not encoded), which wraps the text at its wrap width. Owns that width.
#pragma once

#include <zerth/CMIMEContentAgent.h>
#include <zerth/Export.h>

#include <string>

class ZERTH_API CTextPlain : public CMIMEContentAgent {
public:
  CTextPlain(int nContentType, unsigned nWrapPos = 76) : CMIMEContentAgent(nContentType), m_nWrapPos(nWrapPos) {}
  CTextPlain(const CTextPlain&) = default;
  CTextPlain& operator=(const CTextPlain&) = default;
  ~CTextPlain() override;

  // Appends the sub-header and the wrapped text; returns non-zero. Encoding
  // code and path flag are not used.
  int AppendPart(const char* szContent, const char* szParameters, int nEncoding, int bPath,
                 std::string& sDestination) override;
  // "text/plain".
  std::string GetContentTypeString() override;

protected:
  // "Content-Type: text/plain" with the parameters text appended verbatim,
  // "Content-Transfer-Encoding: 7Bit", and the empty line.
  std::string build_sub_header(const char* szContent, const char* szParameters, int nEncoding, int bPath) override;

  // Breaks the text into lines at blanks. The counter of a line restarts at
  // each CR LF of the text and at each break, and a line is broken once the
  // counter passes the wrap width, at the last blank seen so far (at the
  // start of the text when there was none); the white space around a break
  // is dropped. A null text gives the empty text.
  std::string wrap_text(const char* szText) const;

  unsigned m_nWrapPos;
};
