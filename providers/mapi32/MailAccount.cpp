// Reading the mail account from the registry.
#include "MailAccount.h"

#include "Charset.h"

#include <zplatform/AsciiText.h>
#include <zplatform/ProgramDir.h>
#include <zplatform/Registry.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace mapi32 {

namespace {

std::string LoginName() {
  long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_name && found->pw_name[0])
    return found->pw_name;
  return "user";
}

std::string HostName() {
  std::array<char, 256> name{};
  // gethostname may leave the name unterminated when it is cut; the last
  // byte stays zero.
  if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') return "localhost";
  return name.data();
}

std::string ReadAccountValue(const char* name) {
  return HeaderText(zplatform::RegReadString(HKEY_CURRENT_USER, kMailAccountKey, name));
}

// Paths, commands and passwords' sources: kept exactly as they stand.
std::string ReadRawValue(const char* name) {
  return zplatform::RegReadString(HKEY_CURRENT_USER, kMailAccountKey, name);
}

// Seconds as REG_DWORD or as decimal text; anything else, zero included,
// gives the fallback, so a slip never means "wait for ever". At most a day.
long ReadSeconds(const char* name, long fallback) {
  constexpr DWORD kMissing = 0;
  constexpr long kMax = 24 * 60 * 60;
  DWORD number = zplatform::RegReadDword(HKEY_CURRENT_USER, kMailAccountKey, name, kMissing);
  if (number != kMissing) return std::min<long>(number, kMax);
  std::string text = ReadAccountValue(name);
  char* end = nullptr;
  long value = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
  if (value <= 0 || (end && *end)) return fallback;
  return std::min(value, kMax);
}

// A count as REG_DWORD or decimal text where zero means something ("never",
// "no limit"): only a missing or unreadable value gives the fallback.
long ReadCount(const char* name, long fallback, long max) {
  constexpr DWORD kMissing = 0xFFFFFFFF;
  DWORD number = zplatform::RegReadDword(HKEY_CURRENT_USER, kMailAccountKey, name, kMissing);
  if (number != kMissing) return std::min<long>(number, max);
  std::string text = ReadAccountValue(name);
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), isDigit)) return fallback;
  return std::min(std::stol(text), max);
}

StartTlsPolicy ParseStartTls(std::string_view text) {
  if (text.empty() || zplatform::EqualsNoCase(text, "required")) return StartTlsPolicy::Required;
  if (zplatform::EqualsNoCase(text, "when offered")) return StartTlsPolicy::WhenOffered;
  return StartTlsPolicy::Unknown;
}

SmtpSettings ReadSmtpSettings() {
  SmtpSettings smtp;
  smtp.server = ReadAccountValue("Server");
  smtp.startTlsText = ReadAccountValue("StartTLS");
  smtp.startTls = ParseStartTls(smtp.startTlsText);
  smtp.user = ReadRawValue("User");
  smtp.passwordCommand = ReadRawValue("PasswordCommand");
  smtp.caFile = ReadRawValue("CaFile");
  smtp.connectTimeout = ReadSeconds("ConnectTimeout", smtp.connectTimeout);
  smtp.timeout = ReadSeconds("Timeout", smtp.timeout);
  smtp.retryTime = ReadCount("RetryTime", smtp.retryTime, 24 * 60 * 60);
  smtp.messagesPerMinute = ReadCount("MessagesPerMinute", smtp.messagesPerMinute, 60 * 1000);
  return smtp;
}

}  // namespace

std::string DefaultSenderAddress() { return LoginName() + "@" + HostName(); }

MailAccount MailAccount::Read() {
  MailAccount account;
  account.from = ReadAccountValue("From");
  if (account.from.empty()) account.from = DefaultSenderAddress();
  account.fromName = ReadAccountValue("FromName");
  account.transport = ReadAccountValue("Transport");
  // One process may choose another transport for itself alone, as
  // tarvo-send's dry run chooses the outbox; the account stays as it is.
  if (const char* chosen = std::getenv("ZERTH_MAIL_TRANSPORT"); chosen && chosen[0]) account.transport = chosen;
  account.outbox = ReadRawValue("Outbox");
  if (account.outbox.empty()) account.outbox = zplatform::UserDataDir() + "/Outbox";
  account.smtp = ReadSmtpSettings();
  account.sendmailCommand = ReadRawValue("SendmailCommand");
  if (account.sendmailCommand.empty()) account.sendmailCommand = "/usr/sbin/sendmail -i";
  account.sendmailTimeout = account.smtp.timeout;
  return account;
}

}  // namespace mapi32
