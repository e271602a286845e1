// While a UiRecorder lives, it answers and records message boxes, file dialogs
// and shell opens instead of the real Qt services.
#pragma once

#include <zplatform/UiServices.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testui {

struct ShownMessage {
  std::string text;
  std::string caption;
  UINT type = MB_OK;
  bool operator==(const ShownMessage&) const = default;
};

class UiRecorder {
public:
  // Which services it stands in for; the others stay real.
  enum Services { kMessages = 1, kFiles = 2, kShell = 4, kAll = 7 };

  explicit UiRecorder(int services = kAll) {
    if (services & kMessages)
      m_hooks.messageBox = [this](const std::string& text, const std::string& caption, UINT type) {
        messages.push_back({text, caption, type});
        if (duringMessage) duringMessage();
        return answer;
      };
    if (services & kFiles)
      m_hooks.openFile = [this](const std::string& filter) { return fileFilters.push_back(filter), fileAnswer; };
    if (services & kShell)
      m_hooks.shellOpen = [this](const std::string& target) { return opened.push_back(target), true; };
    zplatform::SetUiHooks(&m_hooks);
  }
  ~UiRecorder() { zplatform::SetUiHooks(nullptr); }
  UiRecorder(const UiRecorder&) = delete;
  UiRecorder& operator=(const UiRecorder&) = delete;

  // The texts of the messages shown, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& message : messages) out.push_back(message.text);
    return out;
  }

  std::vector<ShownMessage> messages;
  std::vector<std::string> fileFilters;
  std::vector<std::string> opened;
  int answer = IDOK;                      // what every message box answers
  std::optional<std::string> fileAnswer;  // what every file dialog answers
  std::function<void()> duringMessage;    // runs while a message is up

private:
  zplatform::UiHooks m_hooks;
};

}  // namespace testui
