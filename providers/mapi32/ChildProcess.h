// A program run as a child process without a shell: its standard input fed
// from a string, its standard output optionally collected, its run bounded
// in time. Used by the sendmail transport and the password command.
#pragma once

#include <zplatform/UniqueFd.h>

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace mapi32 {

struct ChildResult {
  bool timedOut = false;       // killed at the deadline
  bool inputComplete = false;  // every input byte was taken by the child
  int waitStatus = 0;          // as from waitpid; valid unless timedOut
  std::string output;          // standard output when collected, cut at the cap
};

class ChildProcess {
public:
  enum class Output { ToStderr, Collect };

  // Starts argv[0] (looked up on PATH when it has no slash) with a pipe as
  // its standard input and its standard output collected or sent to our
  // standard error; standard error is shared. Throws std::system_error with
  // the errno when the program cannot be started.
  ChildProcess(const std::vector<std::string>& argv, Output output);
  // A child still running is killed and reaped.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Writes input to the child and closes its standard input, collects at
  // most outputCap bytes of its output (the rest is read and dropped), and
  // waits for it to end. At the timeout the child is killed with SIGKILL.
  ChildResult finish(std::string_view input, std::chrono::milliseconds timeout, std::size_t outputCap = 65536);

private:
  void feed(std::string_view& input, ChildResult& result);
  void drain(std::size_t cap, ChildResult& result);
  bool reaped(ChildResult& result);
  void killAndReap();

  pid_t m_pid = -1;
  zplatform::UniqueFd m_stdin;
  zplatform::UniqueFd m_stdout;
  zplatform::UniqueFd m_exitFd;  // pidfd: readable when the child ends; may be missing
};

// "exit status 3", "killed by signal 9": for the one line on stderr.
std::string DescribeWaitStatus(int waitStatus);

}  // namespace mapi32
