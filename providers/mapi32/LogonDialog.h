// The logon dialog shown for MAPI_LOGON_UI when the SMTP server needs a
// password that the account does not provide. Tests find it as the active
// modal widget: object names "mapi32LogonDialog", "password", "remember".
#pragma once

#include <zerth/mapi.h>

#include <optional>
#include <string>

namespace mapi32 {

struct LogonAnswer {
  std::string password;
  bool remember = false;  // "Remember password" was checked
};

class LogonDialog {
public:
  // True when a dialog can be shown: a QApplication exists.
  static bool Available();

  // Asks for the password of user on server, modal, parented to the window
  // whose native id is parentId (when there is such a window). notice is a
  // line shown above the field, such as why the last password failed.
  // Nothing when the user cancels. Called on another thread, it shows the
  // dialog on the application's thread, whose event loop must be running,
  // and waits for the answer; without parentId the dialog is then parented
  // to the application's modal window, such as a progress window.
  static std::optional<LogonAnswer> Ask(const std::string& user, const std::string& server,
                                        const std::string& notice, MAPI_ULONG_PTR parentId);
};

}  // namespace mapi32
