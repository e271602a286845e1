// The user's mail account: who sends and how messages leave. Read from
// HKEY_CURRENT_USER\Software\Zerth\Mail, REG_SZ values "From", "FromName",
// "Transport" and "Outbox", each optional.
#pragma once

#include <string>

namespace mapi32 {

inline constexpr const char* kMailAccountKey = "Software\\Zerth\\Mail";

struct MailAccount {
  std::string from;       // sender address, bare or "Name <addr>"; login@host when not configured
  std::string fromName;   // sender display name, may be empty
  std::string transport;  // transport name as configured; empty means "outbox"
  std::string outbox;     // Maildir folder of the outbox transport

  static MailAccount Read();
};

// login name @ host name of the running user, with "user" and "localhost"
// standing in for whichever of the two the system does not tell.
std::string DefaultSenderAddress();

}  // namespace mapi32
