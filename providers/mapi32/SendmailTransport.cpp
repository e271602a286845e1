// Piping the message to the sendmail program.
#include "SendmailTransport.h"

#include "ChildProcess.h"
#include "CommandWords.h"
#include "MailAccount.h"
#include "MapiError.h"

#include <sys/wait.h>

#include <cstring>

#include <optional>
#include <system_error>

namespace mapi32 {

namespace {

constexpr int kExDataErr = 65;
constexpr int kExNoUser = 67;
constexpr int kExNoHost = 68;
constexpr int kExNoPerm = 77;

std::string CommandName(const std::vector<std::string>& argv) { return argv.empty() ? "" : argv.front(); }

}  // namespace

MAPI_ULONG SendmailTransport::ResultCode(int exitStatus) {
  switch (exitStatus) {
    case 0: return SUCCESS_SUCCESS;
    case kExDataErr:
    case kExNoUser: return MAPI_E_UNKNOWN_RECIPIENT;
    case kExNoHost:
    case kExNoPerm: return MAPI_E_LOGIN_FAILURE;
    default: return MAPI_E_FAILURE;
  }
}

std::vector<std::string> SendmailTransport::arguments(const Envelope& envelope) const {
  std::optional<std::vector<std::string>> words = SplitCommandWords(m_command);
  if (!words || words->empty())
    FailWith(MAPI_E_FAILURE, "SendmailCommand in HKEY_CURRENT_USER\\" + std::string(kMailAccountKey) + " (\"" +
                                 m_command + "\") is empty or has an unclosed quote");
  std::vector<std::string> argv = std::move(*words);
  argv.insert(argv.end(), {"-f", envelope.sender, "--"});
  argv.insert(argv.end(), envelope.recipients.begin(), envelope.recipients.end());
  return argv;
}

void SendmailTransport::deliver(const OutgoingMail& mail) {
  const std::vector<std::string> argv = arguments(mail.envelope());
  const std::string program = CommandName(argv);
  const std::string message = mail.bytes(LineEnd::Lf);
  ChildResult result;
  try {
    ChildProcess child(argv, ChildProcess::Output::ToStderr);
    result = child.finish(message, m_timeout);
  } catch (const std::system_error& error) {
    FailWith(MAPI_E_FAILURE,
             "cannot start the sendmail program " + program + ": " + std::strerror(error.code().value()));
  }
  if (result.timedOut)
    FailWith(MAPI_E_FAILURE, program + " did not finish within " + std::to_string(m_timeout.count()) +
                                 " s and was stopped; the message may or may not have gone");
  const bool exited = WIFEXITED(result.waitStatus);
  const int status = exited ? WEXITSTATUS(result.waitStatus) : -1;
  if (exited && status == 0 && result.inputComplete) return;
  if (exited && status == 0)
    FailWith(MAPI_E_FAILURE, program + " ended without reading the whole message");
  FailWith(exited ? ResultCode(status) : MAPI_E_FAILURE,
           program + " did not take the message (" + DescribeWaitStatus(result.waitStatus) + ")");
}

}  // namespace mapi32
