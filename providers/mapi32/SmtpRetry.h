// Which failed conversations the smtp transport tries again, and when.
#pragma once

#include "SmtpConversation.h"

#include <chrono>

namespace mapi32 {

// A failure that a later try may well get past: 421 (service closing), 450,
// 451, 452 (mailbox busy, local error, no room), a connection refused or
// reset. Never a 5xx or any other reply, nor a time-out (each try would cost
// the whole time-out again), nor a TLS or logon failure. A message whose
// reply the server sent is retried only after a 4xx from that list: when
// the connection broke while or after it was sent, the server may have taken
// it, and a second copy is worse than a failure.
bool IsTemporaryFailure(const SmtpOutcome& outcome);

// A failure to reach the server at all: the connection refused, or reset
// before the server said anything.
bool IsOutOfReach(const SmtpOutcome& outcome);

// Whether a failure on a connection kept from an earlier message calls for
// a new connection straight away: the server closed it meanwhile, or it ends
// its connections after some messages (a 4xx to MAIL FROM). Either way the
// message itself got no answer yet.
bool NeedsNewConnection(const SmtpOutcome& outcome);

// Exponential back-off from the first try: 1 s, 2 s, 4 s ... 60 s at most
// between tries, and a try only while it starts within the budget.
class SmtpRetryClock {
public:
  explicit SmtpRetryClock(std::chrono::seconds budget);

  // Sleeps until the next try and returns true; false, at once, when the
  // next try would start after the budget.
  bool wait();

private:
  std::chrono::steady_clock::time_point m_start;
  std::chrono::seconds m_budget;
  std::chrono::seconds m_delay{1};
};

}  // namespace mapi32
