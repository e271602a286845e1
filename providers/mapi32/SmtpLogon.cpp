// Password sources and the session's memory of a typed password.
#include "SmtpLogon.h"

#include "LogonDialog.h"
#include "MapiError.h"
#include "PasswordCommand.h"
#include "PasswordStore.h"

#include <algorithm>
#include <chrono>
#include <mutex>

namespace mapi32 {

namespace {

// A password typed into the dialog without "Remember password" lives as
// long as the process: a mailing run of many messages asks once. The module
// is never unloaded (see CMakeLists.txt), so this outlives dlclose.
struct SessionPassword {
  std::mutex mutex;
  std::string key;  // server and user it belongs to
  std::string password;
};

SessionPassword& Session() {
  static SessionPassword session;
  return session;
}

std::string SessionKey(const SmtpSettings& settings) { return settings.server + '\n' + settings.user; }

std::optional<std::string> SessionLookup(const SmtpSettings& settings) {
  SessionPassword& session = Session();
  std::lock_guard lock(session.mutex);
  if (session.key != SessionKey(settings)) return std::nullopt;
  return session.password;
}

void SessionKeep(const SmtpSettings& settings, const std::string& password) {
  SessionPassword& session = Session();
  std::lock_guard lock(session.mutex);
  session.key = SessionKey(settings);
  session.password = password;
}

void SessionForget() {
  SessionPassword& session = Session();
  std::lock_guard lock(session.mutex);
  std::fill(session.password.begin(), session.password.end(), '\0');
  session.password.clear();
  session.key.clear();
}

}  // namespace

SmtpLogon::Credentials SmtpLogon::obtain() {
  const std::string& user = m_settings.user;
  if (user.empty()) return {};
  if (!m_settings.passwordCommand.empty())
    return {user, RunPasswordCommand(m_settings.passwordCommand, std::chrono::seconds(m_settings.timeout)),
            Source::Command};
  if (auto typed = SessionLookup(m_settings)) return {user, *typed, Source::Session};
  if (!m_storedRefused) {
    if (auto stored = PasswordStore::Load()) return {user, *stored, Source::Stored};
  }
  if (canAsk()) return ask();
  FailWith(MAPI_E_LOGIN_FAILURE, "the mail server needs the password of \"" + user +
                                     "\": store it with the logon dialog or set PasswordCommand in "
                                     "HKEY_CURRENT_USER\\" + kMailAccountKey);
}

void SmtpLogon::accepted(const Credentials& credentials) {
  if (credentials.source != Source::Dialog) return;
  if (credentials.remember && PasswordStore::Save(credentials.password)) return;
  SessionKeep(m_settings, credentials.password);
}

bool SmtpLogon::refused(const Credentials& credentials) {
  if (credentials.source == Source::Session) SessionForget();
  if (credentials.source == Source::Stored) m_storedRefused = true;
  m_notice = "The server did not accept the password.";
  return credentials.source != Source::Command && canAsk();
}

bool SmtpLogon::stillGives(const Credentials& credentials) const {
  if (credentials.user != m_settings.user) return false;
  if (credentials.user.empty() || credentials.source == Source::Command) return true;
  std::optional<std::string> known = SessionLookup(m_settings);
  if (!known && !m_storedRefused) known = PasswordStore::Load();
  return known && *known == credentials.password;
}

bool SmtpLogon::canAsk() const { return (m_request.flags & MAPI_LOGON_UI) != 0 && LogonDialog::Available(); }

SmtpLogon::Credentials SmtpLogon::ask() {
  std::optional<LogonAnswer> answer =
      LogonDialog::Ask(m_settings.user, m_settings.server, m_notice, m_request.parentWindow);
  if (!answer) throw MapiError(MAPI_USER_ABORT);
  return {m_settings.user, std::move(answer->password), Source::Dialog, answer->remember};
}

}  // namespace mapi32
