// The transports known to this provider.
#include "TransportFactory.h"

#include "MapiError.h"
#include "OutboxTransport.h"

#include <algorithm>
#include <cctype>

namespace mapi32 {

std::unique_ptr<Transport> MakeTransport(const MailAccount& account) {
  std::string name = account.transport;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name.empty() || name == "outbox") return std::make_unique<OutboxTransport>(account.outbox);
  FailWith(MAPI_E_FAILURE, "unknown mail transport \"" + account.transport + "\" in HKEY_CURRENT_USER\\" +
                               kMailAccountKey + "\\Transport (known: outbox)");
}

}  // namespace mapi32
