// Waiting for a socket and switching its blocking mode: the small pieces the
// library's socket classes share.
#pragma once

namespace zplatform {

// Waits up to timeoutMs (negative: without limit) for any of events
// (POLLIN, POLLOUT) on fd, restarting after signals with the time left.
// 1 ready (also for an error or hang-up the next call reports), 0 time-out,
// -1 failure (errno set; EBADF for a closed descriptor).
int WaitSocket(int fd, short events, long long timeoutMs);

// Clears or sets O_NONBLOCK; false on failure.
bool SetSocketBlocking(int fd, bool blocking);
// Whether O_NONBLOCK is clear; false also when fd is not open.
bool IsSocketBlocking(int fd);

}  // namespace zplatform
