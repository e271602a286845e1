// Keeps SIGPIPE from ending the program while this thread writes to a pipe
// or socket whose reader may be gone: the write fails with EPIPE instead.
#pragma once

#include <signal.h>

namespace mapi32 {

// Blocks SIGPIPE for the calling thread while it lives; a SIGPIPE raised
// meanwhile is taken off the thread's pending signals before the old mask
// comes back, unless one was already pending before.
class SigpipeGuard {
public:
  SigpipeGuard();
  ~SigpipeGuard();
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

private:
  sigset_t m_oldMask;
  bool m_wasPending = false;
  bool m_blocked = false;
};

}  // namespace mapi32
