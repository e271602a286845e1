// Temporary failures and the back-off between tries.
#include "SmtpRetry.h"

#include <algorithm>
#include <thread>

namespace mapi32 {

namespace {

constexpr std::chrono::seconds kMaxDelay{60};

bool IsTemporaryReply(long reply) { return reply == 421 || reply == 450 || reply == 451 || reply == 452; }

}  // namespace

bool IsTemporaryFailure(const SmtpOutcome& outcome) {
  if (outcome.code == CURLE_OK) return false;
  // Without its own reply the message is in doubt; 354 is the reply to DATA.
  if (outcome.stage == SmtpStage::Body) return outcome.finalReply && IsTemporaryReply(outcome.reply);
  if (IsTemporaryReply(outcome.reply)) return true;
  // libcurl reports a refused command as a send error: the reply decides.
  if (outcome.reply >= 400) return false;
  return outcome.code == CURLE_COULDNT_CONNECT || outcome.code == CURLE_SEND_ERROR ||
         outcome.code == CURLE_RECV_ERROR;
}

bool IsOutOfReach(const SmtpOutcome& outcome) {
  if (outcome.code == CURLE_COULDNT_CONNECT) return true;
  return outcome.stage == SmtpStage::Logon && outcome.reply == 0 &&
         (outcome.code == CURLE_SEND_ERROR || outcome.code == CURLE_RECV_ERROR);
}

bool NeedsNewConnection(const SmtpOutcome& outcome) {
  if (outcome.code == CURLE_OK) return false;
  // Logon: libcurl found the connection gone and its own new one failed.
  return outcome.stage == SmtpStage::Logon || (outcome.stage == SmtpStage::Sender && outcome.reply < 500);
}

SmtpRetryClock::SmtpRetryClock(std::chrono::seconds budget)
    : m_start(std::chrono::steady_clock::now()), m_budget(budget) {}

bool SmtpRetryClock::wait() {
  const auto next = std::chrono::steady_clock::now() + m_delay;
  if (next > m_start + m_budget) return false;
  std::this_thread::sleep_until(next);
  m_delay = std::min(m_delay * 2, kMaxDelay);
  return true;
}

}  // namespace mapi32
