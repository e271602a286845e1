#include "zerth/CMIMEMessage.h"

#include "zerth/CAppOctetStream.h"
#include "zerth/CTextPlain.h"

#include <zplatform/AsciiText.h>

#include <string_view>

namespace {

bool EndsWithLineBreak(const std::string& s) { return s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0; }

}  // namespace

void CMIMEMessage::CMIMETypeManager::register_mime_type(std::unique_ptr<CMIMEContentAgent> agent) {
  if (!agent) return;
  const std::lock_guard lock(m_lock);
  m_agents.push_back(std::move(agent));
}

CMIMEContentAgent* CMIMEMessage::CMIMETypeManager::GetHandler(int nContentType) {
  const std::lock_guard lock(m_lock);
  for (const auto& agent : m_agents)
    if (agent->QueryType(nContentType)) return agent.get();
  return nullptr;
}

CMIMEMessage::CMIMETypeManager& CMIMEMessage::m_MIMETypeManager() {
  static CMIMETypeManager manager;
  return manager;
}

CMIMEMessage::CMIMEMessage()
    : m_sPreamble("This is a multi-part message in MIME format."),
      m_sBoundary("BRAKO_MAILER_CREATED_ON_06201999"),
      m_sMultipartType("multipart/mixed") {
  register_mime_type(new CTextPlain(MIME_TEXT_PLAIN, GetCharsPerLine()));
  register_mime_type(new CAppOctetStream(MIME_APP_OCTET_STREAM));
}

CMIMEMessage::~CMIMEMessage() = default;

int CMIMEMessage::AddMIMEPart(const char* szContent, int nContentType, const char* szParameters, int nEncoding,
                              int bPath) {
  CMIMEPartEntry entry;
  entry.m_nEncoding = nEncoding;
  entry.m_nContentType = nContentType;
  entry.m_sParameters = szParameters != nullptr ? szParameters : "";
  entry.m_bPath = bPath;
  entry.m_sContent = zplatform::Trim(szContent != nullptr ? szContent : "");
  // Text parts lead: the most recent first, all of them ahead of attachments.
  if (nContentType == MIME_TEXT_PLAIN)
    m_MIMEParts.push_front(std::move(entry));
  else
    m_MIMEParts.push_back(std::move(entry));
  return 1;
}

void CMIMEMessage::register_mime_type(CMIMEContentAgent* agent) {
  m_MIMETypeManager().register_mime_type(std::unique_ptr<CMIMEContentAgent>(agent));
}

void CMIMEMessage::prepare_header() {
  CMailMessage::prepare_header();
  add_header_line("MIME-Version: 1.0");
  add_header_line(("Content-Type: " + m_sMultipartType + "; boundary=" + m_sBoundary).c_str());
}

void CMIMEMessage::prepare_body() {
  // The body text becomes the first part; the body is then the MIME body.
  if (!m_sBody.empty()) AddMIMEPart(m_sBody.c_str(), MIME_TEXT_PLAIN, "", 0, 0);
  m_sBody = m_sPreamble + "\r\n\r\n";
  append_mime_parts();
  insert_message_end(m_sBody);
  CMailMessage::prepare_body();
}

void CMIMEMessage::append_mime_parts() {
  for (const auto& part : m_MIMEParts) {
    CMIMEContentAgent* agent = m_MIMETypeManager().GetHandler(part.m_nContentType);
    if (agent == nullptr) continue;
    insert_boundary(m_sBody);
    // An attachment that cannot be read leaves its part empty; the message
    // goes out all the same.
    agent->AppendPart(part.m_sContent.c_str(), part.m_sParameters.c_str(), part.m_nEncoding, part.m_bPath, m_sBody);
  }
}

void CMIMEMessage::insert_boundary(std::string& s) const {
  if (!EndsWithLineBreak(s)) s += "\r\n";
  s += "--" + m_sBoundary + "\r\n";
}

void CMIMEMessage::insert_message_end(std::string& s) const {
  if (!EndsWithLineBreak(s)) s += "\r\n";
  s += "--" + m_sBoundary + "--\r\n";
}
