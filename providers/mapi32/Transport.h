// How a finished message leaves: one implementation per transport of the
// mail account ("outbox" now; "smtp" and "sendmail" plug in the same way).
#pragma once

#include "OutgoingMail.h"

namespace mapi32 {

class Transport {
public:
  virtual ~Transport() = default;

  // Delivers the message or throws MapiError; a message that was not
  // delivered leaves nothing behind that looks delivered.
  virtual void deliver(const OutgoingMail& mail) = 0;
};

}  // namespace mapi32
