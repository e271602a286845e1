// The SMTP password from a command of the user's choice, such as
// "secret-tool lookup service tarvo-smtp" or "pass show mail/smtp".
#pragma once

#include <chrono>
#include <string>

namespace mapi32 {

// Runs the command with /bin/sh -c (no input) and returns the first line it
// prints, without the line end. A command that cannot run, fails, prints
// nothing or does not end within the timeout (a keyring may be waiting for
// the user to unlock it) throws MapiError(MAPI_E_LOGIN_FAILURE) after one
// line on stderr; the password itself is never printed.
std::string RunPasswordCommand(const std::string& command, std::chrono::seconds timeout);

}  // namespace mapi32
