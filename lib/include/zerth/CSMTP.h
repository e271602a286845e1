// CSMTP: a small synchronous SMTP client that sends CMailMessage objects (and
// messages derived from it) to one server over a blocking TCP connection:
// greeting and HELO, then MAIL, RCPT and DATA per message, QUIT at the end.
// Owns the connection and its 1024-byte reply buffer while connected. Every
// failure gives a zero result and a text in GetLastError(). A failed send, or
// a reply that could not be read whole ("Socket Error"), also ends the
// session: a reply still on its way would otherwise answer the next command.
// The caller connects again for the next message.
#pragma once

#include <zerth/CMailMessage.h>
#include <zerth/Export.h>

#include <memory>
#include <string>
#include <string_view>

namespace zerth::detail {
class BlockingSocket;
class SmtpReplyBuffer;
}  // namespace zerth::detail

class ZERTH_API CSMTP {
public:
  // The reply each step expects and the text used when another one comes.
  struct response_code {
    int m_nCode;
    const char* m_pszMessage;
  };
  // Indexes into response_table.
  enum { REPLY_GENERIC = 0, REPLY_CONNECT = 1, REPLY_DATA = 2, REPLY_QUIT = 3 };
  static const response_code response_table[4];

  // How long Connect waits for the connection and every step for its reply,
  // unless SetTimeout says otherwise.
  static constexpr unsigned kDefaultTimeoutSeconds = 60;

  // Stores server (host name or dotted IPv4 address) and port; not connected.
  CSMTP(const char* server, unsigned port);
  // Disconnects (QUIT) when connected.
  virtual ~CSMTP();
  CSMTP(const CSMTP&) = delete;
  CSMTP& operator=(const CSMTP&) = delete;

  // Replaces server and port for the next Connect; a null server changes nothing.
  void SetServerProperties(const char* server, unsigned port);
  std::string GetServerHostName() const;
  unsigned GetPort() const;
  // The last error text: "OK" until something fails; a later success does
  // not reset it.
  std::string GetLastError() const;

  // The limit, in seconds, for connecting, for each whole reply (however the
  // server spreads it over lines and segments) and for each send to make
  // progress; a server that does not complete a reply within it fails the
  // step with "Socket Error" (or, while connecting, "Unable to connect to
  // server" / "Server didn't respond.") and ends the session. 0 waits without
  // limit. Takes effect at the next Connect.
  void SetTimeout(unsigned seconds);
  unsigned GetTimeout() const;

  // Connects, checks the 220 greeting and says HELO with the local host
  // name. Non-zero on success or when already connected; zero with the
  // connection closed otherwise.
  int Connect();
  // Sends QUIT and closes whatever the reply. Non-zero when the server
  // answered 221 or there was no session.
  int Disconnect();

  // Formats and transmits one message on the open session; non-zero when the
  // server accepted it. "Must be connected" without a session (also after a
  // failure that ended the session).
  int SendMessageA(CMailMessage* message);
  // Formats the message for sending; zero with "No Recipients" when it has none.
  virtual int FormatMailMessage(CMailMessage* message);

protected:
  // MAIL, one RCPT per recipient (a refused recipient does not stop the
  // transaction), DATA, header and escaped body, end of data. Returns the
  // result of the end-of-data reply; zero as soon as a send fails. A sender
  // or recipient address holding CR or LF ("... address contains a line
  // break") or '<', '>', a blank or another control character ("... address
  // contains '<', '>', a blank or a control character") is refused before
  // anything is sent.
  virtual int transmit_message(CMailMessage* message);

private:
  // Reads one whole reply and compares its code with response_table[index];
  // ends the session when the reply could not be read.
  int get_response(unsigned index);
  // The body as sent inside DATA: lines beginning with "." get a second one.
  std::string cook_body(CMailMessage* message);
  // Closes the socket and releases the reply buffer.
  void close_session();
  // Sends all of text; on failure sets "Socket Error", ends the session and
  // returns false.
  bool send_text(std::string_view text);

  std::string m_sError = "OK";
  int m_bConnected = 0;
  unsigned m_nPort;
  std::string m_sServer;
  std::unique_ptr<zerth::detail::BlockingSocket> m_Socket;
  std::unique_ptr<zerth::detail::SmtpReplyBuffer> m_pReplyBuffer;
  unsigned m_nTimeoutSeconds = kDefaultTimeoutSeconds;
};
