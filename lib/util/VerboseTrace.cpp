// ShowVerboseTrace: reads the switch anew on every call, then shows the
// dialog in the GUI thread or, without a GUI, prints the trace.
#include "VerboseTrace.h"

#include "CVerboseDlg.h"

#include <zerth/CZerthUtility.h>

#include <QApplication>
#include <QThread>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

void RunVerboseDialog(std::string_view action, std::string_view details, int enableOpen) {
  CVerboseDlg dlg;
  dlg.SetAction(action);
  dlg.SetDetails(details);
  dlg.SetOpenEnabled(enableOpen);
  dlg.exec();
}

void PrintTrace(std::string_view action, std::string_view details) {
  std::string text = "Network Verbose Mode\nAction: ";
  text.append(action).append("\nDetails: ").append(details).append("\n");
  std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace

void ShowVerboseTrace(const char* action, const char* details, int enableOpen) {
  if (CZerthUtility::GetVerboseFlag() == 0) return;
  const std::string_view actionText = action ? action : "";
  const std::string_view detailsText = details ? details : "";

  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app) {
    PrintTrace(actionText, detailsText);
    return;
  }
  if (QThread::currentThread() == app->thread()) {
    RunVerboseDialog(actionText, detailsText, enableOpen);
    return;
  }
  // Widgets live in the GUI thread only; this thread waits there for the
  // user, as the operation it announces must.
  QMetaObject::invokeMethod(
      app, [&] { RunVerboseDialog(actionText, detailsText, enableOpen); }, Qt::BlockingQueuedConnection);
}
