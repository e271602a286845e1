// SocketWait: poll, not select, so that descriptors past FD_SETSIZE work.
#include <zplatform/SocketWait.h>

#include <fcntl.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

namespace zplatform {

int WaitSocket(int fd, short events, long long timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const bool endless = timeoutMs < 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(endless ? 0 : timeoutMs);
  for (;;) {
    long long left = 0;
    if (!endless) {
      left = std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count());
    }
    pollfd waiting{fd, events, 0};
    const int ready = poll(&waiting, 1, endless ? -1 : static_cast<int>(std::min<long long>(left, INT_MAX)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return -1;
    if (ready == 0) {
      if (endless || left <= 0 || Clock::now() >= deadline) return 0;
      continue;  // a wait capped at INT_MAX ms
    }
    if ((waiting.revents & POLLNVAL) != 0) {
      errno = EBADF;
      return -1;
    }
    return 1;
  }
}

bool SetSocketBlocking(int fd, bool blocking) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return wanted == flags || fcntl(fd, F_SETFL, wanted) == 0;
}

bool IsSocketBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && (flags & O_NONBLOCK) == 0;
}

}  // namespace zplatform
