// The SMTP password remembered for the user: the REG_BINARY value "Password"
// of the mail account, enciphered with the library's cipher Crypt under a
// random key kept in its own file, $XDG_CONFIG_HOME/zerth/mail.key (0600).
//
// This keeps the password out of sight of anyone who reads the hive, a
// backup of it or a copy pasted into a bug report. It is no protection
// against someone who can read the user's files: the key lies beside the
// hive. "PasswordCommand" with a keyring (secret-tool) is the secure choice.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mapi32 {

class PasswordStore {
public:
  // Longer passwords are not stored.
  static constexpr std::size_t kMaxPassword = 1024;

  // The stored password; nothing when none is stored or it cannot be read
  // back (key file missing or replaced, value damaged).
  static std::optional<std::string> Load();

  // Stores the password, creating the key file when needed; false (after
  // one line on stderr) when it could not be stored.
  static bool Save(std::string_view password);

  static std::string KeyFilePath();
};

}  // namespace mapi32
