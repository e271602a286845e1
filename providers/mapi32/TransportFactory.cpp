// The transports known to this provider.
#include "TransportFactory.h"

#include "MapiError.h"
#include "OutboxTransport.h"
#include "SendmailTransport.h"
#include "SmtpTransport.h"

#include <zplatform/AsciiText.h>

#include <algorithm>

namespace mapi32 {

std::unique_ptr<Transport> MakeTransport(const MailAccount& account, LogonRequest request) {
  const std::string name = zplatform::ToLowerAscii(account.transport);
  if (name.empty() || name == "outbox") return std::make_unique<OutboxTransport>(account.outbox);
  if (name == "smtp") return std::make_unique<SmtpTransport>(account.smtp, request);
  if (name == "sendmail")
    return std::make_unique<SendmailTransport>(account.sendmailCommand, std::chrono::seconds(account.sendmailTimeout));
  FailWith(MAPI_E_FAILURE, "unknown mail transport \"" + account.transport + "\" in HKEY_CURRENT_USER\\" +
                               kMailAccountKey + "\\Transport (known: outbox, smtp, sendmail)");
}

}  // namespace mapi32
