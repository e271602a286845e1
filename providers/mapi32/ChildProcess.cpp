// posix_spawn, non-blocking pipes and one poll loop with a deadline.
#include "ChildProcess.h"

#include "SigpipeGuard.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <system_error>

extern char** environ;

namespace mapi32 {

using zplatform::UniqueFd;
using Clock = std::chrono::steady_clock;

namespace {

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

Pipe MakePipe() {
  std::array<int, 2> fds{};
  if (::pipe2(fds.data(), O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Owns a posix_spawn_file_actions_t.
class FileActions {
public:
  FileActions() { posix_spawn_file_actions_init(&m_actions); }
  ~FileActions() { posix_spawn_file_actions_destroy(&m_actions); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;

  // dup2 clears close-on-exec on the target, so only 0, 1 and 2 reach the child.
  void dup(int from, int to) { posix_spawn_file_actions_adddup2(&m_actions, from, to); }
  const posix_spawn_file_actions_t* get() const { return &m_actions; }

private:
  posix_spawn_file_actions_t m_actions;
};

int OpenPidFd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1000 * 60));
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, Output output) {
  if (argv.empty()) throw std::system_error(ENOENT, std::generic_category(), "empty command");
  Pipe input = MakePipe();
  Pipe collected = output == Output::Collect ? MakePipe() : Pipe{};

  FileActions actions;
  actions.dup(input.read.get(), STDIN_FILENO);
  actions.dup(output == Output::Collect ? collected.write.get() : STDERR_FILENO, STDOUT_FILENO);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const bool searchPath = argv[0].find('/') == std::string::npos;
  int error = searchPath ? ::posix_spawnp(&m_pid, args[0], actions.get(), nullptr, args.data(), environ)
                         : ::posix_spawn(&m_pid, args[0], actions.get(), nullptr, args.data(), environ);
  if (error != 0) throw std::system_error(error, std::generic_category(), argv[0]);

  m_stdin = std::move(input.write);
  SetNonBlocking(m_stdin.get());
  if (output == Output::Collect) {
    m_stdout = std::move(collected.read);
    SetNonBlocking(m_stdout.get());
  }
  m_exitFd = UniqueFd(OpenPidFd(m_pid));
}

ChildProcess::~ChildProcess() {
  if (m_pid > 0) killAndReap();
}

ChildResult ChildProcess::finish(std::string_view input, std::chrono::milliseconds timeout, std::size_t outputCap) {
  SigpipeGuard sigpipe;
  ChildResult result;
  const auto deadline = Clock::now() + timeout;
  result.inputComplete = input.empty();
  if (input.empty()) m_stdin.close();
  while (true) {
    std::array<pollfd, 3> fds{};
    nfds_t count = 0;
    if (m_stdin) fds[count++] = {m_stdin.get(), POLLOUT, 0};
    if (m_stdout) fds[count++] = {m_stdout.get(), POLLIN, 0};
    if (m_exitFd) fds[count++] = {m_exitFd.get(), POLLIN, 0};
    // Without a pidfd the end of the child is noticed by looking every 10 ms.
    int wait = m_exitFd ? MillisecondsLeft(deadline) : std::min(MillisecondsLeft(deadline), 10);
    if (::poll(fds.data(), count, wait) < 0 && errno != EINTR) break;
    if (m_stdin) feed(input, result);
    if (m_stdout) drain(outputCap, result);
    // Output still buffered when the child ends is read once more; a
    // grandchild that keeps the pipe open is not waited for.
    if (reaped(result)) {
      if (m_stdout) drain(outputCap, result);
      return result;
    }
    if (Clock::now() >= deadline) break;
  }
  killAndReap();
  result.timedOut = true;
  return result;
}

void ChildProcess::feed(std::string_view& input, ChildResult& result) {
  while (!input.empty()) {
    ssize_t written = ::write(m_stdin.get(), input.data(), input.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (written < 0) break;  // EPIPE: the child will not read the rest
    input.remove_prefix(static_cast<std::size_t>(written));
  }
  result.inputComplete = input.empty();
  m_stdin.close();
}

void ChildProcess::drain(std::size_t cap, ChildResult& result) {
  std::array<char, 4096> buffer{};
  while (true) {
    ssize_t got = ::read(m_stdout.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (got <= 0) break;
    std::size_t keep = std::min(static_cast<std::size_t>(got), cap - std::min(cap, result.output.size()));
    result.output.append(buffer.data(), keep);
  }
  m_stdout.close();
}

bool ChildProcess::reaped(ChildResult& result) {
  int status = 0;
  pid_t done = ::waitpid(m_pid, &status, WNOHANG);
  if (done == 0) return false;
  // ECHILD: someone else reaped it (SIGCHLD ignored); the status is lost.
  result.waitStatus = done == m_pid ? status : (0xFF << 8);
  m_pid = -1;
  return true;
}

void ChildProcess::killAndReap() {
  ::kill(m_pid, SIGKILL);
  int status = 0;
  while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
  }
  m_pid = -1;
}

std::string DescribeWaitStatus(int waitStatus) {
  if (WIFEXITED(waitStatus)) return "exit status " + std::to_string(WEXITSTATUS(waitStatus));
  if (WIFSIGNALED(waitStatus)) return "killed by signal " + std::to_string(WTERMSIG(waitStatus));
  return "status " + std::to_string(waitStatus);
}

}  // namespace mapi32
