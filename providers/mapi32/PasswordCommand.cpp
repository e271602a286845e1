// The password command through the child-process runner.
#include "PasswordCommand.h"

#include "ChildProcess.h"
#include "MapiError.h"

#include <sys/wait.h>

#include <algorithm>
#include <system_error>

namespace mapi32 {

namespace {

[[noreturn]] void Fail(const std::string& why) {
  FailWith(MAPI_E_LOGIN_FAILURE, "the mail account's PasswordCommand " + why);
}

std::string FirstLine(const std::string& output) {
  std::string line = output.substr(0, output.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::string RunPasswordCommand(const std::string& command, std::chrono::seconds timeout) {
  ChildResult result;
  try {
    ChildProcess child({"/bin/sh", "-c", command}, ChildProcess::Output::Collect);
    result = child.finish({}, timeout);
  } catch (const std::system_error& error) {
    Fail(std::string("cannot be started: ") + error.what());
  }
  if (result.timedOut) Fail("did not finish within " + std::to_string(timeout.count()) + " s");
  if (!WIFEXITED(result.waitStatus) || WEXITSTATUS(result.waitStatus) != 0)
    Fail("failed (" + DescribeWaitStatus(result.waitStatus) + ")");
  std::string password = FirstLine(result.output);
  std::fill(result.output.begin(), result.output.end(), '\0');
  if (password.empty()) Fail("printed no password");
  return password;
}

}  // namespace mapi32
