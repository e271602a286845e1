// Where the SMTP password comes from, in this order: the account's
// "PasswordCommand"; a password the user typed earlier in this process; the
// password remembered in the account; the logon dialog, only when the caller
// passed MAPI_LOGON_UI and a GUI is there. A password the server refused is
// not offered again; the dialog asks instead.
#pragma once

#include "MailAccount.h"

#include <zerth/mapi.h>

#include <optional>
#include <string>

namespace mapi32 {

// What the caller of MAPISendMail allows: its flags and its window.
struct LogonRequest {
  FLAGS flags = 0;
  MAPI_ULONG_PTR parentWindow = 0;
};

class SmtpLogon {
public:
  enum class Source { None, Command, Stored, Session, Dialog };

  struct Credentials {
    std::string user;
    std::string password;
    Source source = Source::None;
    bool remember = false;  // store it once the server has taken it
  };

  SmtpLogon(const SmtpSettings& settings, LogonRequest request) : m_settings(settings), m_request(request) {}

  // The user and password for the next try. No user configured: empty
  // credentials (no AUTH). Throws MapiError: MAPI_USER_ABORT when the user
  // cancels the dialog, MAPI_E_LOGIN_FAILURE when there is no password to
  // be had (no source, or the command failed).
  Credentials obtain();

  // The server took the credentials: remembers them as the user asked.
  void accepted(const Credentials& credentials);

  // The server refused them: not offered again; true when another try can
  // ask the user.
  [[nodiscard]] bool refused(const Credentials& credentials);

  // Whether a connection logged on with these credentials still stands for
  // the account: the password it gives now without asking anyone is the
  // same (a password command counts as unchanged while its text is).
  [[nodiscard]] bool stillGives(const Credentials& credentials) const;

private:
  bool canAsk() const;
  Credentials ask();

  const SmtpSettings& m_settings;
  LogonRequest m_request;
  bool m_storedRefused = false;  // for this message
  std::string m_notice;
};

}  // namespace mapi32
