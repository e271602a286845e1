// Chooses the transport that the mail account names.
#pragma once

#include "MailAccount.h"
#include "Transport.h"

#include <memory>

namespace mapi32 {

// The transport for account.transport (empty means "outbox"; case does not
// matter). An unknown name is reported on stderr and throws
// MapiError(MAPI_E_FAILURE).
std::unique_ptr<Transport> MakeTransport(const MailAccount& account);

}  // namespace mapi32
