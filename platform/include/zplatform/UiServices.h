// The user-interface services the program and the library share: message box,
// file-open dialog and the shell's "open" verb. Each goes through a seam that
// GUI tests replace to answer and record; otherwise the real Qt ones run.
#pragma once

#include <zplatform/WinTypes.h>

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QString;

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

namespace zplatform {

struct UiHooks {
  // Each empty member falls through to the real service.
  std::function<int(const std::string& text, const std::string& caption, UINT type)> messageBox;
  std::function<std::optional<std::string>(const std::string& filter)> openFile;
  std::function<bool(const std::string& target)> shellOpen;
};

// Installs hooks (tests); nullptr restores the real services. Not owned.
void SetUiHooks(const UiHooks* hooks);

// Modal message box with the given caption; MB_OK or MB_OKCANCEL. Returns IDOK
// or IDCANCEL. Without a QApplication it answers IDCANCEL for OK/Cancel boxes
// and IDOK otherwise, after printing the text to stderr.
int MessageBox(const std::string& text, const std::string& caption, UINT type = MB_OK);

// The file-open dialog with a Windows filter string such as
// "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"; the chosen path, or nothing
// when the user cancels.
std::optional<std::string> GetOpenFileName(const std::string& filter);

// Windows filter string to Qt's ";;"-separated name filters; "*.*" becomes "*".
QString QtFilterFromWindows(const std::string& filter);

// Opens a file, folder or URL with the user's preferred program. A target
// without a scheme is a local path.
bool ShellOpen(const std::string& target);

// Makes a blocking call modal for the application while it lives: wait cursor,
// the active top-level window disabled, and afterwards re-enabled, activated
// and focused again. Does nothing without a QApplication or off its thread.
class ModalCallScope {
public:
  ModalCallScope();
  ~ModalCallScope();
  ModalCallScope(const ModalCallScope&) = delete;
  ModalCallScope& operator=(const ModalCallScope&) = delete;

  // Native id of the owner window, 0 when there is none.
  ULONG_PTR ownerWindowId() const { return m_ownerId; }

private:
  QPointer<QWidget> m_owner;  // the window disabled for the call, if still alive
  ULONG_PTR m_ownerId = 0;
  bool m_active = false;
};

}  // namespace zplatform
