// Reading the mail account from the registry.
#include "MailAccount.h"

#include "Charset.h"

#include <zplatform/ProgramDir.h>
#include <zplatform/Registry.h>

#include <pwd.h>
#include <unistd.h>

#include <array>
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

}  // namespace

std::string DefaultSenderAddress() { return LoginName() + "@" + HostName(); }

MailAccount MailAccount::Read() {
  MailAccount account;
  account.from = ReadAccountValue("From");
  if (account.from.empty()) account.from = DefaultSenderAddress();
  account.fromName = ReadAccountValue("FromName");
  account.transport = ReadAccountValue("Transport");
  // A folder is a path, not header text: kept exactly as it stands.
  account.outbox = zplatform::RegReadString(HKEY_CURRENT_USER, kMailAccountKey, "Outbox");
  if (account.outbox.empty()) account.outbox = zplatform::UserDataDir() + "/Outbox";
  return account;
}

}  // namespace mapi32
