#include "zerth/CTextPlain.h"

#include <zplatform/AsciiText.h>

#include <algorithm>
#include <string_view>

CTextPlain::~CTextPlain() = default;

std::string CTextPlain::GetContentTypeString() { return "text/plain"; }

std::string CTextPlain::build_sub_header(const char* /*szContent*/, const char* szParameters, int /*nEncoding*/,
                                         int /*bPath*/) {
  std::string header = "Content-Type: " + GetContentTypeString();
  if (szParameters != nullptr) header += szParameters;
  header += "\r\nContent-Transfer-Encoding: 7Bit\r\n\r\n";
  return header;
}

int CTextPlain::AppendPart(const char* szContent, const char* szParameters, int nEncoding, int bPath,
                           std::string& sDestination) {
  sDestination += build_sub_header(szContent, szParameters, nEncoding, bPath);
  sDestination += wrap_text(szContent);
  return 1;
}

std::string CTextPlain::wrap_text(const char* szText) const {
  if (szText == nullptr) return {};
  std::string text = szText;
  unsigned count = 0;     // characters since the last line end or break
  std::size_t blank = 0;  // the last blank seen, on this line or an earlier one
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') blank = i;
    if (text.compare(i, 2, "\r\n") == 0) count = 0;
    if (count > m_nWrapPos) {
      // A break can only shorten the text behind the blank, so the blank is
      // inside it; clamp all the same rather than trust that.
      const std::string_view whole(text);
      const std::size_t at = std::min(blank, whole.size());
      std::string wrapped(zplatform::TrimRight(whole.substr(0, at)));
      wrapped += "\r\n";
      wrapped += zplatform::TrimLeft(whole.substr(at));
      text = std::move(wrapped);
      count = 0;
    } else {
      ++count;
    }
  }
  return text;
}
