// SMTP delivery: the logon loop around the conversation, and the mapping of
// its outcome to Simple MAPI codes.
#include "SmtpTransport.h"

#include "MapiError.h"
#include "SmtpConnectionPool.h"
#include "SmtpRetry.h"

#include <zplatform/AsciiText.h>

#include <chrono>
#include <optional>

namespace mapi32 {

namespace {

constexpr int kMaxTries = 3;

using zplatform::StartsWithNoCase;

// 530 authentication required, 534 mechanism too weak, 535 credentials
// invalid, 538 encryption required for the mechanism.
bool IsAuthenticationReply(long reply) { return reply == 530 || reply == 534 || reply == 535 || reply == 538; }

bool PasswordRefused(const SmtpOutcome& outcome) {
  return outcome.stage == SmtpStage::Logon && (outcome.code == CURLE_LOGIN_DENIED || outcome.reply == 535);
}

const char* StageText(SmtpStage stage) {
  switch (stage) {
    case SmtpStage::Logon: return "while logging on";
    case SmtpStage::Sender: return "at the sender (MAIL FROM)";
    case SmtpStage::Recipients: return "at a recipient (RCPT TO)";
    case SmtpStage::Data: return "at DATA";
    case SmtpStage::Body: return "after the message";
  }
  return "";
}

}  // namespace

MAPI_ULONG SmtpTransport::ResultCode(const SmtpOutcome& outcome) {
  if (outcome.code == CURLE_OK) return SUCCESS_SUCCESS;
  if (outcome.code == CURLE_LOGIN_DENIED || IsAuthenticationReply(outcome.reply)) return MAPI_E_LOGIN_FAILURE;
  switch (outcome.stage) {
    case SmtpStage::Logon: return MAPI_E_LOGIN_FAILURE;
    case SmtpStage::Recipients:
      return outcome.reply >= 500 && outcome.reply < 600 ? MAPI_E_UNKNOWN_RECIPIENT : MAPI_E_FAILURE;
    case SmtpStage::Sender:
    case SmtpStage::Data:
    case SmtpStage::Body: return outcome.reply == 552 ? MAPI_E_TEXT_TOO_LARGE : MAPI_E_FAILURE;
  }
  return MAPI_E_FAILURE;
}

void SmtpTransport::deliver(const OutgoingMail& mail) {
  checkSettings();
  const std::string message = mail.bytes(LineEnd::CrLf);
  SmtpLogon logon(m_settings, m_request);
  SmtpConversation conversation(m_settings, mail.envelope(), message);
  SmtpConnectionPool& pool = SmtpConnectionPool::Instance();
  const std::string key = SmtpConnectionKey(m_settings);
  // A server that stayed out of reach through a whole retry time is not
  // waited for again with every message (a run of thousands would take
  // days): until it answers again, each message gets one try.
  const std::chrono::seconds retryTime(pool.outOfReach(key) ? 0 : m_settings.retryTime);
  SmtpRetryClock retries{retryTime};
  for (;;) {
    pool.pace(m_settings.messagesPerMinute);
    const SmtpOutcome outcome = attempt(conversation, logon);
    if (outcome.code == CURLE_OK) {
      pool.setOutOfReach(key, false);
      return;
    }
    if (!IsTemporaryFailure(outcome) || !retries.wait()) {
      pool.setOutOfReach(key, IsOutOfReach(outcome));
      fail(outcome);
    }
  }
}

SmtpOutcome SmtpTransport::attempt(SmtpConversation& conversation, SmtpLogon& logon) {
  SmtpConnectionPool& pool = SmtpConnectionPool::Instance();
  std::optional<SmtpConnection> kept = pool.take(SmtpConnectionKey(m_settings));
  if (kept && logon.stillGives(kept->credentials)) {
    SmtpOutcome outcome = conversation.send(kept->curl.get(), kept->credentials.user, kept->credentials.password);
    if (outcome.code == CURLE_OK) {
      pool.keep(std::move(*kept));
      return outcome;
    }
    if (!NeedsNewConnection(outcome)) return outcome;
  }
  kept.reset();
  return attemptNew(conversation, logon);
}

SmtpOutcome SmtpTransport::attemptNew(SmtpConversation& conversation, SmtpLogon& logon) {
  for (int tries = 1;; ++tries) {
    SmtpConnection connection(SmtpConnectionKey(m_settings), logon.obtain());
    const SmtpLogon::Credentials& credentials = connection.credentials;
    SmtpOutcome outcome = conversation.send(connection.curl.get(), credentials.user, credentials.password);
    if (outcome.stage != SmtpStage::Logon) logon.accepted(credentials);
    if (outcome.code == CURLE_OK) {
      SmtpConnectionPool::Instance().keep(std::move(connection));
      return outcome;
    }
    if (!credentials.user.empty() && PasswordRefused(outcome) && logon.refused(credentials) && tries < kMaxTries)
      continue;
    return outcome;
  }
}

void SmtpTransport::checkSettings() const {
  const std::string where = std::string(" in HKEY_CURRENT_USER\\") + kMailAccountKey;
  if (m_settings.server.empty())
    FailWith(MAPI_E_LOGIN_FAILURE, "no SMTP server: set Server" + where + " (smtp://host:587 or smtps://host)");
  if (!StartsWithNoCase(m_settings.server, "smtp://") && !StartsWithNoCase(m_settings.server, "smtps://"))
    FailWith(MAPI_E_LOGIN_FAILURE, "the SMTP server \"" + m_settings.server + "\" (Server" + where +
                                       ") must start with smtp:// or smtps://");
  if (m_settings.startTls == StartTlsPolicy::Unknown)
    FailWith(MAPI_E_LOGIN_FAILURE, "StartTLS" + where + " is \"" + m_settings.startTlsText +
                                       "\"; it must be \"required\" or \"when offered\"");
}

void SmtpTransport::fail(const SmtpOutcome& outcome) const {
  std::string text = "SMTP server " + m_settings.server + ": " + outcome.error + " " + StageText(outcome.stage);
  if (outcome.stage == SmtpStage::Recipients && !outcome.recipient.empty()) text += " " + outcome.recipient;
  if (!outcome.replyText.empty()) text += "; it said: " + outcome.replyText;
  if (outcome.stage == SmtpStage::Body && !outcome.finalReply)
    text += "; the server may have taken the message, so it is not sent again";
  if (outcome.code == CURLE_USE_SSL_FAILED && !m_settings.user.empty() &&
      m_settings.startTls == StartTlsPolicy::WhenOffered)
    text += "; the password is never sent without TLS (StartTLS \"when offered\" goes without TLS only when User "
            "is empty)";
  FailWith(ResultCode(outcome), text);
}

}  // namespace mapi32
