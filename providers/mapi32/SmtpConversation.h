// One SMTP transaction through libcurl: connect (TLS as configured) and log
// on unless the handle still holds a connection, MAIL FROM, RCPT TO for each
// envelope recipient, DATA. It records how far the conversation got, which
// tells a refused logon from a refused recipient or message, and whether the
// server answered the message itself.
#pragma once

#include "MailAccount.h"
#include "OutgoingMail.h"

#include <curl/curl.h>

#include <string>
#include <string_view>

namespace mapi32 {

// The last step the client had started when the conversation ended.
enum class SmtpStage { Logon, Sender, Recipients, Data, Body };

struct SmtpOutcome {
  CURLcode code = CURLE_OK;  // CURLE_OK only after the server's 2xx to the message
  long reply = 0;            // CURLINFO_RESPONSE_CODE: the last reply code
  SmtpStage stage = SmtpStage::Logon;
  std::string recipient;     // of the last RCPT TO sent
  std::string replyText;     // the last reply line, for the user
  std::string error;         // libcurl's own description
  bool finalReply = false;   // a reply came after the message: the server decided on it
};

// curl_global_init, once per process, before any other libcurl call.
void InitCurl();

class SmtpConversation {
public:
  SmtpConversation(const SmtpSettings& settings, const Envelope& envelope, std::string_view message)
      : m_settings(settings), m_envelope(envelope), m_message(message) {}

  // Sends over handle, which keeps its connection afterwards for the next
  // message; it holds no pointer into this object or the call once done.
  // user empty: no AUTH. Never throws for what the server or the network
  // does; only for memory.
  SmtpOutcome send(CURL* handle, const std::string& user, const std::string& password);

private:
  static int OnDebug(CURL* handle, curl_infotype type, char* data, std::size_t size, void* self);
  static std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* self);
  void noteSent(std::string_view line);
  void noteReceived(std::string_view line);

  const SmtpSettings& m_settings;
  const Envelope& m_envelope;
  std::string_view m_message;
  std::string_view m_unread;
  SmtpOutcome m_outcome;
  bool m_quitting = false;
};

}  // namespace mapi32
