// The "sendmail" transport: each message is piped to a sendmail-compatible
// program (msmtp, Postfix, Exim, OpenSMTPD), which delivers or queues it.
#pragma once

#include "Transport.h"

#include <zerth/mapi.h>

#include <chrono>
#include <string>
#include <vector>

namespace mapi32 {

class SendmailTransport : public Transport {
public:
  // command: program and arguments, split like a shell would (no shell runs).
  SendmailTransport(std::string command, std::chrono::seconds timeout)
      : m_command(std::move(command)), m_timeout(timeout) {}

  // Runs the command followed by "-f <sender> -- <recipient>..." (To, Cc and
  // Bcc: the program is told the recipients, it does not read them from the
  // headers), writes the message with LF line ends to its standard input and
  // waits for it, killing it at the timeout. Exit status 0 is success;
  // otherwise throws MapiError with the code of ResultCode after one line on
  // stderr. A program that cannot be started gives MAPI_E_FAILURE.
  void deliver(const OutgoingMail& mail) override;

  // The Simple MAPI code for an exit status (sysexits.h): 65 EX_DATAERR (what
  // msmtp exits with when the server refuses a recipient, or the sender) and
  // 67 EX_NOUSER give MAPI_E_UNKNOWN_RECIPIENT; 68 EX_NOHOST and 77
  // EX_NOPERM (msmtp: authentication failed) MAPI_E_LOGIN_FAILURE; any other
  // MAPI_E_FAILURE.
  static MAPI_ULONG ResultCode(int exitStatus);

  // The program's argument vector for a message.
  std::vector<std::string> arguments(const Envelope& envelope) const;

private:
  std::string m_command;
  std::chrono::seconds m_timeout;
};

}  // namespace mapi32
