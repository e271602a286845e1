// ShowVerboseTrace: no dialog with the switch off; with it on, the modal
// dialog filled from the caller's texts, also when a worker thread traces;
// without a GUI, a line on stderr.
#include "CVerboseDlg.h"
#include "GuiApp.h"
#include "RegistryFixture.h"
#include "VerboseTrace.h"

#include <zerth/CZerthUtility.h>

#include <zplatform/UiServices.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>

namespace {

// What the verbose dialog showed.
struct Shown {
  QString title;
  QString action;
  QString details;
  bool openEnabled = false;
};

CVerboseDlg* OpenVerboseDialog() {
  auto* dlg = dynamic_cast<CVerboseDlg*>(QApplication::activeModalWidget());
  return dlg && dlg->isVisible() ? dlg : nullptr;
}

// Records the dialog's texts and closes it with "OK".
Shown ReadAndClose(CVerboseDlg& dlg) {
  const Shown shown{dlg.windowTitle(), dlg.findChild<QLabel*>(QString::number(CVerboseDlg::IDC_ACTION))->text(),
                    dlg.findChild<QPlainTextEdit*>(QString::number(CVerboseDlg::IDC_DETAILS))->toPlainText(),
                    dlg.findChild<QPushButton*>(QString::number(CVerboseDlg::IDC_OPEN))->isEnabled()};
  QTest::mouseClick(dlg.findChild<QPushButton*>(QString::number(IDOK)), Qt::LeftButton);
  return shown;
}

// Runs a trace in this thread; a verbose dialog that opens meanwhile is read
// and closed. Nothing when none opened.
std::optional<Shown> Trace(const char* action, const char* details, int enableOpen) {
  std::optional<Shown> shown;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&shown] {
    if (CVerboseDlg* dlg = OpenVerboseDialog(); dlg && !shown) shown = ReadAndClose(*dlg);
  });
  poll.start();
  ShowVerboseTrace(action, details, enableOpen);
  return shown;
}

class VerboseTraceTest : public RegistryFixture {
  GuiApp m_app;
};

// No QApplication here: the library is used by a console program.
class VerboseTraceConsoleTest : public RegistryFixture {};

}  // namespace

TEST_F(VerboseTraceTest, DialogOnlyWhileTheSwitchIsOnShowingWhatTheClientsPass) {
  EXPECT_FALSE(Trace("Change directory on FTP server", "/pub", 0)) << "no key";
  struct Call {
    const char* action;
    const char* details;
    int enableOpen;
    const char* shownDetails;
  };
  const Call calls[] = {
      {"Connect to FTP server", "ftp://ann:pw@ftp.example.org", 1, "ftp://ann:pw@ftp.example.org"},
      {"Receive file from FTP server", "/pub/a.txt\r\n=>\r\n/tmp/a.txt", 0, "/pub/a.txt\n=>\n/tmp/a.txt"},
      {"HTTP <b>POST</b> & more request", nullptr, 1, ""},  // shown as plain text
  };
  CZerthUtility::SetVerboseFlag(1);
  for (const Call& call : calls) {
    const std::optional<Shown> shown = Trace(call.action, call.details, call.enableOpen);
    ASSERT_TRUE(shown) << call.action;
    EXPECT_EQ(shown->title, "Network Verbose Mode");
    EXPECT_EQ(shown->action, call.action);
    EXPECT_EQ(shown->details, call.shownDetails) << call.action;
    EXPECT_EQ(shown->openEnabled, call.enableOpen != 0) << call.action;
  }
  CZerthUtility::SetVerboseFlag(0);
  EXPECT_FALSE(Trace("Change directory on FTP server", "/pub", 0)) << "switched off again";
}

TEST_F(VerboseTraceTest, WorkerThreadWaitsForTheDialogInTheGuiThread) {
  CZerthUtility::SetVerboseFlag(1);
  std::atomic<bool> returned = false;
  std::optional<Shown> shown;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    CVerboseDlg* dlg = OpenVerboseDialog();
    if (!dlg || shown) return;
    EXPECT_EQ(dlg->thread(), QCoreApplication::instance()->thread());
    EXPECT_FALSE(returned);  // the operation waits for the user
    shown = ReadAndClose(*dlg);
  });
  poll.start();

  std::thread worker([&returned] {
    ShowVerboseTrace("HTTP get request", "http://www.example.org/", 1);
    returned = true;
  });
  // A worker that never comes back would hang the test run; end it instead.
  if (!QTest::qWaitFor([&returned] { return returned.load(); }, 30000)) std::abort();
  worker.join();
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->details, "http://www.example.org/");
}

TEST_F(VerboseTraceConsoleTest, WithoutAGuiTheTraceGoesToStderr) {
  CZerthUtility::SetVerboseFlag(1);
  for (const bool coreApplication : {false, true}) {
    int argc = 1;
    char name[] = "console";
    char* argv[] = {name, nullptr};
    std::optional<QCoreApplication> app;
    if (coreApplication) app.emplace(argc, argv);

    testing::internal::CaptureStderr();
    ShowVerboseTrace("Send file to FTP server", "/tmp/a.txt\r\n=>\r\n/pub/a.txt", 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Network Verbose Mode\nAction: Send file to FTP server\nDetails: /tmp/a.txt\r\n=>\r\n/pub/a.txt\n");
  }

  CZerthUtility::SetVerboseFlag(0);
  testing::internal::CaptureStderr();
  ShowVerboseTrace("Send file to FTP server", "/tmp/a.txt", 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
