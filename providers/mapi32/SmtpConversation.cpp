// libcurl options for one message, and the debug callback that follows the
// commands sent and the replies received.
#include "SmtpConversation.h"

#include "CurlStringList.h"
#include "SigpipeGuard.h"

#include <zplatform/AsciiText.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <new>

namespace mapi32 {

namespace {

using zplatform::StartsWithNoCase;

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

bool IsImplicitTls(const std::string& server) { return StartsWithNoCase(server, "smtps://"); }

// "when offered" lets a message go without TLS, but never a password: with
// a logon, TLS is required whatever the setting (a server, or a man in the
// middle, that leaves STARTTLS out would otherwise read it).
long TlsPolicy(const SmtpSettings& settings, bool logon) {
  if (!logon && !IsImplicitTls(settings.server) && settings.startTls == StartTlsPolicy::WhenOffered)
    return CURLUSESSL_TRY;
  return CURLUSESSL_ALL;
}

// Options that do not depend on the message.
void SetConnection(CURL* curl, const SmtpSettings& settings, bool logon) {
  curl_easy_setopt(curl, CURLOPT_URL, settings.server.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(curl, CURLOPT_USE_SSL, TlsPolicy(settings, logon));
  if (!settings.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, settings.caFile.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, settings.connectTimeout);
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, settings.timeout);
  // A transfer that stalls (less than a byte a second) for that long ends too.
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, settings.timeout);
}

void SetLogin(CURL* curl, const std::string& user, const std::string& password) {
  if (user.empty()) return;
  curl_easy_setopt(curl, CURLOPT_USERNAME, user.c_str());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
}

std::string Bracketed(const std::string& address) { return "<" + address + ">"; }

// The options that point into one call's data, cleared once it is over: the
// handle outlives the call.
void ForgetCallData(CURL* curl) {
  curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, nullptr);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, nullptr);
  curl_easy_setopt(curl, CURLOPT_READDATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
  curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, nullptr);
  curl_easy_setopt(curl, CURLOPT_DEBUGDATA, nullptr);
}

}  // namespace

void InitCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

SmtpOutcome SmtpConversation::send(CURL* handle, const std::string& user, const std::string& password) {
  m_outcome = SmtpOutcome{};
  m_unread = m_message;
  m_quitting = false;

  CurlStringList recipients;
  for (const std::string& address : m_envelope.recipients) recipients.append(Bracketed(address));
  const std::string sender = Bracketed(m_envelope.sender);
  std::array<char, CURL_ERROR_SIZE> error{};

  SetConnection(handle, m_settings, !user.empty());
  SetLogin(handle, user, password);
  curl_easy_setopt(handle, CURLOPT_MAIL_FROM, sender.c_str());
  curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
  curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(handle, CURLOPT_READFUNCTION, &SmtpConversation::OnRead);
  curl_easy_setopt(handle, CURLOPT_READDATA, this);
  // Announced with SIZE=, so a server refuses a message too large before it travels.
  curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(m_message.size()));
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error.data());
  // Verbose output goes to the callback only, which follows the conversation.
  curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, &SmtpConversation::OnDebug);
  curl_easy_setopt(handle, CURLOPT_DEBUGDATA, this);

  {
    SigpipeGuard sigpipe;
    m_outcome.code = curl_easy_perform(handle);
  }
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &m_outcome.reply);
  m_outcome.error = error[0] ? error.data() : curl_easy_strerror(m_outcome.code);
  ForgetCallData(handle);
  return m_outcome;
}

int SmtpConversation::OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* self) {
  auto* conversation = static_cast<SmtpConversation*>(self);
  std::string_view text(data, size);
  if (type == CURLINFO_HEADER_OUT) conversation->noteSent(text);
  if (type == CURLINFO_HEADER_IN) conversation->noteReceived(text);
  if (type == CURLINFO_DATA_OUT && conversation->m_outcome.stage == SmtpStage::Data)
    conversation->m_outcome.stage = SmtpStage::Body;
  return 0;
}

std::size_t SmtpConversation::OnRead(char* buffer, std::size_t size, std::size_t count, void* self) {
  auto* conversation = static_cast<SmtpConversation*>(self);
  std::size_t n = std::min(size * count, conversation->m_unread.size());
  std::copy_n(conversation->m_unread.data(), n, buffer);
  conversation->m_unread.remove_prefix(n);
  return n;
}

// Only the command word is looked at: AUTH lines carry the password.
void SmtpConversation::noteSent(std::string_view line) {
  if (StartsWithNoCase(line, "QUIT") || StartsWithNoCase(line, "RSET")) {
    m_quitting = true;
  } else if (StartsWithNoCase(line, "MAIL FROM:")) {
    m_outcome.stage = SmtpStage::Sender;
  } else if (StartsWithNoCase(line, "RCPT TO:")) {
    m_outcome.stage = SmtpStage::Recipients;
    std::string_view address = WithoutLineEnd(line.substr(8));
    m_outcome.recipient.assign(address.substr(0, 512));
  } else if (StartsWithNoCase(line, "DATA")) {
    m_outcome.stage = SmtpStage::Data;
  }
}

// The reply to DATA (354) comes before the message; any reply while the
// message is being sent is the server's word on it.
void SmtpConversation::noteReceived(std::string_view line) {
  if (m_quitting) return;
  m_outcome.replyText.assign(WithoutLineEnd(line).substr(0, 512));
  if (m_outcome.stage == SmtpStage::Body) m_outcome.finalReply = true;
}

}  // namespace mapi32
