// SIGPIPE blocked and drained per thread: the process-wide disposition
// belongs to the host program and is not touched.
#include "SigpipeGuard.h"

#include <cerrno>
#include <ctime>
#include <pthread.h>

namespace mapi32 {

namespace {

sigset_t OnlySigpipe() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

bool SigpipePending() {
  sigset_t pending;
  sigemptyset(&pending);
  return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

SigpipeGuard::SigpipeGuard() {
  m_wasPending = SigpipePending();
  sigset_t set = OnlySigpipe();
  m_blocked = pthread_sigmask(SIG_BLOCK, &set, &m_oldMask) == 0;
}

SigpipeGuard::~SigpipeGuard() {
  if (!m_blocked) return;
  if (!m_wasPending && SigpipePending()) {
    sigset_t set = OnlySigpipe();
    const timespec zero{0, 0};
    while (sigtimedwait(&set, nullptr, &zero) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &m_oldMask, nullptr);
}

}  // namespace mapi32
