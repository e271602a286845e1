// Chooses the transport that the mail account names.
#pragma once

#include "MailAccount.h"
#include "SmtpLogon.h"
#include "Transport.h"

#include <memory>

namespace mapi32 {

// The transport for account.transport: "outbox" (also when empty), "smtp" or
// "sendmail"; case does not matter. request says whether the smtp transport
// may ask for a password, and over which window. An unknown name is
// reported on stderr and throws MapiError(MAPI_E_FAILURE).
std::unique_ptr<Transport> MakeTransport(const MailAccount& account, LogonRequest request);

}  // namespace mapi32
