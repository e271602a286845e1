// The user's mail account: who sends and how messages leave. Read from
// HKEY_CURRENT_USER\Software\Zerth\Mail; every value is optional. Texts are
// REG_SZ; the time-outs and counts are REG_DWORD or a decimal REG_SZ.
#pragma once

#include <string>

namespace mapi32 {

inline constexpr const char* kMailAccountKey = "Software\\Zerth\\Mail";

// "StartTLS" as read: empty means Required; any other text is Unknown, and
// a message through smtp:// then fails with a message that names it.
enum class StartTlsPolicy { Required, WhenOffered, Unknown };

// How the "smtp" transport reaches the server.
struct SmtpSettings {
  std::string server;           // "Server": smtp://host[:port][/ehlo-name] or smtps://...
  StartTlsPolicy startTls = StartTlsPolicy::Required;  // "StartTLS": "required" or "when offered"
                                                      // (without TLS only when there is no user to log on)
  std::string startTlsText;     // "StartTLS" as written, for the message about an unknown value
  std::string user;             // "User": login name; empty means no AUTH
  std::string passwordCommand;  // "PasswordCommand": /bin/sh command whose first output line is the password
  std::string caFile;           // "CaFile": PEM certificates trusted instead of the system's
  long connectTimeout = 30;     // "ConnectTimeout": TCP, TLS and greeting
  long timeout = 120;           // "Timeout": each server reply, a stalled transfer
  long retryTime = 60;          // "RetryTime": seconds in which temporary failures are tried again; 0: never
  long messagesPerMinute = 0;   // "MessagesPerMinute": at most so many messages start in any minute; 0: no limit
};

struct MailAccount {
  std::string from;       // sender address, bare or "Name <addr>"; login@host when not configured
  std::string fromName;   // sender display name, may be empty
  std::string transport;  // transport name as configured; empty means "outbox"
  std::string outbox;     // Maildir folder of the outbox transport
  SmtpSettings smtp;
  std::string sendmailCommand;  // "SendmailCommand": program and arguments, no shell
  long sendmailTimeout = 120;   // "Timeout" as well: how long the program may run

  static MailAccount Read();
};

// login name @ host name of the running user, with "user" and "localhost"
// standing in for whichever of the two the system does not tell.
std::string DefaultSenderAddress();

}  // namespace mapi32
