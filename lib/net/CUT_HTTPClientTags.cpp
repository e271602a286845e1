// CUT_HTTPClient: the link, meta and frame attributes and the image and alt
// counts of the stored body.
#include <zerth/CUT_HTTPClient.h>

#include "HttpTagScan.h"

#include <string>

using zerth::detail::ScanKeyword;

namespace {

struct Keyword {
  const char* lower;
  const char* upper;
};

}  // namespace

int CUT_HTTPClient::ScanTags(TagKind kind) {
  static constexpr Keyword kLink{"href=", "HREF="};
  static constexpr Keyword kMeta{"content=", "CONTENT="};
  static constexpr Keyword kFrame{"frame src=", "FRAME SRC="};
  const Keyword& keyword = kind == TagKind::Link ? kLink : kind == TagKind::Meta ? kMeta : kFrame;
  m_tagList.ClearList();
  m_tagListKind = kind;
  const int count = ScanKeyword(m_bodyLines, keyword.lower, keyword.upper,
                                [this](long line, int position) { m_tagList.AddTagPos(line, position); });
  (kind == TagKind::Link ? m_nLinkTagCount : kind == TagKind::Meta ? m_nMetaTagCount : m_nFrameTagCount) = count;
  return count;
}

int CUT_HTTPClient::GetLinkTagCount() {
  return m_nLinkTagCount != -1 ? m_nLinkTagCount : ScanTags(TagKind::Link);
}

int CUT_HTTPClient::GetMetaTagCount() {
  return m_nMetaTagCount != -1 ? m_nMetaTagCount : ScanTags(TagKind::Meta);
}

int CUT_HTTPClient::GetFrameTagCount() {
  return m_nFrameTagCount != -1 ? m_nFrameTagCount : ScanTags(TagKind::Frame);
}

int CUT_HTTPClient::GetTagValue(TagKind kind, int index, char* value, int maxLen) {
  if (m_tagListKind != kind) ScanTags(kind);
  long line = 0;
  int position = 0;
  if (!m_tagList.GetTagPos(index, &line, &position)) return 1;
  // From the keyword's '=': piece 0 is what stands before the opening
  // quote, piece 1 the value up to the closing one (or a '<').
  std::string text = std::string(m_bodyLines.GetString(line)).substr(static_cast<std::size_t>(position));
  if (kind == TagKind::Link && line + 1 < m_bodyLines.GetCount()) text += m_bodyLines.GetString(line + 1);
  return ParseString(text.c_str(), "<\"", 1, value, maxLen) == 0 ? 0 : 2;
}

int CUT_HTTPClient::GetLinkTag(int index, char* value, int maxLen) {
  return GetTagValue(TagKind::Link, index, value, maxLen);
}

int CUT_HTTPClient::GetMetaTag(int index, char* value, int maxLen) {
  return GetTagValue(TagKind::Meta, index, value, maxLen);
}

int CUT_HTTPClient::GetFrameTag(int index, char* value, int maxLen) {
  return GetTagValue(TagKind::Frame, index, value, maxLen);
}

int CUT_HTTPClient::GetImageTagCount() {
  m_tagList.ClearList();
  m_tagListKind = TagKind::None;
  return ScanKeyword(m_bodyLines, "img src", "IMG SRC", nullptr);
}

int CUT_HTTPClient::GetAltTagCount() {
  m_tagList.ClearList();
  m_tagListKind = TagKind::None;
  return ScanKeyword(m_bodyLines, " alt", " ALT", nullptr);
}
