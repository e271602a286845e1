// CSMTP: the session (greeting, HELO, QUIT) and the mail transaction.
#include <zerth/CSMTP.h>

#include "BlockingSocket.h"
#include "DotStuffing.h"
#include "SmtpReplyBuffer.h"

#include <cstdio>
#include <new>
#include <string_view>
#include <utility>

using zerth::detail::BlockingSocket;
using zerth::detail::SmtpReplyBuffer;

const CSMTP::response_code CSMTP::response_table[4] = {
    {250, "SMTP server error"},                     // REPLY_GENERIC
    {220, "SMTP server not available"},             // REPLY_CONNECT
    {354, "SMTP server not ready for data"},        // REPLY_DATA
    {221, "SMTP server didn't terminate session"},  // REPLY_QUIT
};

namespace {

// HELO carries at most this much of the local host name.
constexpr std::size_t kHostNameMax = 80;

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// Characters that would end the address's angle brackets, start an ESMTP
// parameter or a command of their own: '<', '>', a blank, a control character.
bool HasForbiddenCharacter(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '<' || byte == '>' || byte == ' ' || byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

// The error text for an envelope address that cannot be sent; empty when it can.
std::string AddressError(std::string_view address, const char* which) {
  if (HasLineBreak(address)) return std::string(which) + " address contains a line break";
  if (HasForbiddenCharacter(address))
    return std::string(which) + " address contains '<', '>', a blank or a control character";
  return {};
}

}  // namespace

CSMTP::CSMTP(const char* server, unsigned port) : m_nPort(port), m_sServer(server ? server : "") {}

CSMTP::~CSMTP() {
  Disconnect();
}

void CSMTP::SetServerProperties(const char* server, unsigned port) {
  if (!server) return;
  m_sServer = server;
  m_nPort = port;
}

std::string CSMTP::GetServerHostName() const {
  return m_sServer;
}

unsigned CSMTP::GetPort() const {
  return m_nPort;
}

std::string CSMTP::GetLastError() const {
  return m_sError;
}

void CSMTP::SetTimeout(unsigned seconds) {
  m_nTimeoutSeconds = seconds;
}

unsigned CSMTP::GetTimeout() const {
  return m_nTimeoutSeconds;
}

void CSMTP::close_session() {
  m_Socket.reset();
  m_pReplyBuffer.reset();
  m_bConnected = 0;
}

bool CSMTP::send_text(std::string_view text) {
  // A reply already waiting in the buffer must not make a message that never
  // went out look sent.
  if (m_Socket && m_Socket->SendAll(text)) return true;
  m_sError = "Socket Error";
  close_session();
  return false;
}

int CSMTP::Connect() {
  if (m_bConnected) return 1;

  m_pReplyBuffer.reset(new (std::nothrow) SmtpReplyBuffer);
  if (!m_pReplyBuffer) {
    m_sError = "Not enough memory";
    return 0;
  }
  m_Socket = std::make_unique<BlockingSocket>();
  if (!m_Socket->Create()) {
    m_sError = "Unable to create the socket.";
    close_session();
    return 0;
  }
  if (!m_Socket->Connect(m_sServer, m_nPort, m_nTimeoutSeconds)) {
    m_sError = "Unable to connect to server";
    close_session();
    return 0;
  }
  if (!get_response(REPLY_CONNECT)) {
    m_sError = "Server didn't respond.";
    close_session();
    return 0;
  }
  if (!send_text("HELO " + zerth::detail::LocalHostName(kHostNameMax) + "\r\n") || !get_response(REPLY_GENERIC)) {
    close_session();
    return 0;
  }
  m_bConnected = 1;
  return 1;
}

int CSMTP::Disconnect() {
  if (!m_bConnected) return 1;
  int result = send_text("QUIT\r\n") && get_response(REPLY_QUIT);
  close_session();
  return result;
}

int CSMTP::SendMessageA(CMailMessage* message) {
  if (!m_bConnected) {
    m_sError = "Must be connected";
    return 0;
  }
  return FormatMailMessage(message) && transmit_message(message);
}

int CSMTP::FormatMailMessage(CMailMessage* message) {
  if (!message || message->GetNumRecipients() == 0) {
    m_sError = "No Recipients";
    return 0;
  }
  message->FormatMessageA();
  return 1;
}

int CSMTP::transmit_message(CMailMessage* message) {
  if (!m_bConnected) {
    m_sError = "Must be connected";
    return 0;
  }
  // A line break in an envelope address would end the command and start
  // another one of the caller's choosing; a '>' or a blank would add ESMTP
  // parameters to it.
  if (std::string error = AddressError(message->m_sFrom, "Sender"); !error.empty()) {
    m_sError = std::move(error);
    return 0;
  }
  int count = message->GetNumRecipients();
  for (int i = 0; i < count; ++i) {
    std::string address, name;
    message->GetRecipient(address, name, i);
    if (std::string error = AddressError(address, "Recipient"); !error.empty()) {
      m_sError = std::move(error);
      return 0;
    }
  }

  // Every failed send, and every reply not read, ends the session (see
  // get_response), so each step stops as soon as it is gone.
  if (!send_text("MAIL From: <" + message->m_sFrom + ">\r\n") || !get_response(REPLY_GENERIC)) return 0;
  for (int i = 0; i < count; ++i) {
    std::string address, name;
    message->GetRecipient(address, name, i);
    if (!send_text("RCPT TO: <" + address + ">\r\n")) return 0;
    get_response(REPLY_GENERIC);  // a refused recipient does not stop the others
    if (!m_bConnected) return 0;
  }
  if (!send_text("DATA\r\n") || !get_response(REPLY_DATA)) return 0;
  // The header goes through the same transparency rule as the body, so no
  // header text can end the data early either.
  if (!send_text(zerth::detail::DotStuff(message->m_sHeader)) || !send_text(cook_body(message)) ||
      !send_text("\r\n.\r\n"))
    return 0;
  return get_response(REPLY_GENERIC);
}

std::string CSMTP::cook_body(CMailMessage* message) {
  return zerth::detail::DotStuff(message->m_sBody);
}

int CSMTP::get_response(unsigned index) {
  // A reply that did not come whole within the time-out may still come, and
  // would then answer the next command: the session cannot go on.
  if (!m_Socket || !m_pReplyBuffer->Read(*m_Socket)) {
    m_sError = "Socket Error";
    close_session();
    return 0;
  }
  const response_code& expected = response_table[index];
  int code = m_pReplyBuffer->Code();
  if (code == expected.m_nCode) return 1;
  char text[128];
  std::snprintf(text, sizeof text, "%d:%s", code, expected.m_pszMessage);
  m_sError = text;
  return 0;
}
