// The "smtp" transport: each message goes to the account's SMTP server
// through libcurl, STARTTLS or implicit TLS, with AUTH when a user is set;
// AUTH only ever over TLS. The connection stays open for the next message
// (SmtpConnectionPool); temporary failures are tried again within the
// account's RetryTime, and MessagesPerMinute spaces the messages.
#pragma once

#include "MailAccount.h"
#include "SmtpConversation.h"
#include "SmtpLogon.h"
#include "Transport.h"

#include <zerth/mapi.h>

namespace mapi32 {

class SmtpTransport : public Transport {
public:
  SmtpTransport(SmtpSettings settings, LogonRequest request) : m_settings(std::move(settings)), m_request(request) {}

  // Returns once the server has accepted the message for every recipient.
  // Otherwise throws MapiError after one line on stderr, with the code
  // ResultCode gives for the last try; a refused password is asked for again
  // (at most three tries in all) when the dialog may be shown.
  void deliver(const OutgoingMail& mail) override;

  // The Simple MAPI result of a conversation: 0 only for CURLE_OK; a failure
  // to connect, to set up TLS or to log on gives MAPI_E_LOGIN_FAILURE; a
  // recipient refused (5xx) MAPI_E_UNKNOWN_RECIPIENT; 552 for the sender's
  // SIZE or the message MAPI_E_TEXT_TOO_LARGE; everything else MAPI_E_FAILURE.
  static MAPI_ULONG ResultCode(const SmtpOutcome& outcome);

private:
  // One try: over the kept connection, then (once) over a new one when that
  // one was gone or used up, and over a new one with the logon loop.
  SmtpOutcome attempt(SmtpConversation& conversation, SmtpLogon& logon);
  SmtpOutcome attemptNew(SmtpConversation& conversation, SmtpLogon& logon);
  void checkSettings() const;
  [[noreturn]] void fail(const SmtpOutcome& outcome) const;

  SmtpSettings m_settings;
  LogonRequest m_request;
};

}  // namespace mapi32
