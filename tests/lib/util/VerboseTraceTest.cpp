// The verbose switch; ShowVerboseTrace and its dialog on the offscreen
// platform; without a GUI, a line on stderr.
#include "CVerboseDlg.h"
#include "TestEnv.h"
#include "UiRecorder.h"
#include "VerboseTrace.h"

#include <zerth/CZerthUtility.h>

#include <zplatform/Registry.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

template <typename T>
T* Control(const CVerboseDlg& dlg, int id) {
  return dlg.findChild<T*>(QString::number(id));
}

// What the dialog showed: title, action, details, "&Open" enabled.
using Shown = std::tuple<std::string, std::string, std::string, bool>;

// Runs a trace, here or in a worker thread, and reads and closes with "OK"
// the verbose dialog that opens meanwhile; nothing when none opened.
std::optional<Shown> Trace(const char* action, const char* details, int enableOpen, bool inWorker) {
  std::optional<Shown> shown;
  std::atomic<bool> returned = false;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dlg = dynamic_cast<CVerboseDlg*>(QApplication::activeModalWidget());
    if (!dlg || !dlg->isVisible() || shown) return;
    EXPECT_EQ(dlg->thread(), QCoreApplication::instance()->thread());
    EXPECT_FALSE(returned) << "the trace waits for the user";
    shown = Shown{dlg->windowTitle().toStdString(),
                  Control<QLabel>(*dlg, CVerboseDlg::IDC_ACTION)->text().toStdString(),
                  Control<QPlainTextEdit>(*dlg, CVerboseDlg::IDC_DETAILS)->toPlainText().toStdString(),
                  Control<QPushButton>(*dlg, CVerboseDlg::IDC_OPEN)->isEnabled()};
    QTest::mouseClick(Control<QPushButton>(*dlg, IDOK), Qt::LeftButton);
  });
  poll.start();
  const auto trace = [&] {
    ShowVerboseTrace(action, details, enableOpen);
    returned = true;
  };
  if (inWorker) {
    std::thread worker(trace);
    // A worker that never comes back would hang the test run; end it instead.
    if (!QTest::qWaitFor([&returned] { return returned.load(); }, 30000)) std::abort();
    worker.join();
  } else {
    trace();
  }
  return shown;
}

// A private, empty user hive for the switch.
struct PrivateHive : ::testing::Test {
  testenv::TempDir dir;
  testenv::ScopedEnv config{"XDG_CONFIG_HOME", dir.str()};
};

class VerboseTraceTest : public PrivateHive {
protected:
  // The dialog shown, not modal, filled as the trace fills it.
  void Show(const std::string& details, int enableOpen) {
    m_dlg.SetAction("Receive file from FTP server");
    m_dlg.SetDetails(details);
    m_dlg.SetOpenEnabled(enableOpen);
    m_dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_dlg));
  }

  int m_argc = 1;
  char m_name[6] = "tests";
  char* m_argv[2] = {m_name, nullptr};
  QApplication m_app{m_argc, m_argv};
  testui::UiRecorder m_ui{testui::UiRecorder::kShell};
  CVerboseDlg m_dlg;
};

// No QApplication here: the library is used by a console program.
using VerboseTraceConsoleTest = PrivateHive;

}  // namespace

// Four bytes are read whatever type the value has; anything else means off,
// and every read sees the hive as it is now. Set stores a DWORD.
TEST_F(VerboseTraceConsoleTest, SwitchReadsFourBytesWhateverTheStoredTypeAndStoresADword) {
  const std::filesystem::path hivePath = dir.path() / "zerth" / "user.reg";
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
  EXPECT_FALSE(std::filesystem::exists(hivePath)) << "reading creates nothing";
  const std::tuple<DWORD, std::string, int> cases[] = {
      {REG_DWORD, std::string("\x2a\0\0\0", 4), 42}, {REG_DWORD, "\xff\xff\xff\xff", -1},
      {REG_DWORD, std::string(4, '\0'), 0},          {REG_BINARY, std::string("\1\0\0\0", 4), 1},
      {REG_BINARY, std::string("\1\0", 2), 0},       {REG_BINARY, std::string("\1\0\0\0\1\0\0\0", 8), 0},
      {REG_SZ, std::string("abc", 4), 0x00636261},  {REG_SZ, std::string("verbose on", 11), 0},
  };
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zerth", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  for (const auto& [type, data, flag] : cases) {
    const auto size = static_cast<DWORD>(data.size());
    ASSERT_EQ(RegSetValueEx(key, "VerboseMode", 0, type, reinterpret_cast<const BYTE*>(data.data()), size), 0);
    EXPECT_EQ(CZerthUtility::GetVerboseFlag(), flag) << type << " of " << size << " bytes";
  }
  RegCloseKey(key);
  CZerthUtility::SetVerboseFlag(-7);
  const std::string hive = testenv::ReadFile(hivePath);
  EXPECT_NE(hive.find("\"VerboseMode\"=dword:fffffff9"), std::string::npos) << hive;
}

TEST_F(VerboseTraceTest, DialogOnlyWhileTheSwitchIsOnShowingWhatTheClientsPass) {
  EXPECT_FALSE(Trace("Change directory on FTP server", "/pub", 0, false)) << "no key";
  // What the client passes; the details shown; traced from a worker thread.
  const std::tuple<const char*, const char*, int, const char*, bool> calls[] = {
      {"Connect to FTP server", "ftp://ann:pw@ftp.example.org", 1, "ftp://ann:pw@ftp.example.org", false},
      {"Receive file from FTP server", "/pub/a.txt\r\n=>\r\n/tmp/a.txt", 0, "/pub/a.txt\n=>\n/tmp/a.txt", false},
      {"HTTP <b>POST</b> & more request", nullptr, 1, "", false},
      {"HTTP get request", "http://www.example.org/", 1, "http://www.example.org/", true},
  };
  CZerthUtility::SetVerboseFlag(1);
  for (const auto& [action, details, enableOpen, shownDetails, inWorker] : calls)
    EXPECT_EQ(Trace(action, details, enableOpen, inWorker),
              Shown("Network Verbose Mode", action, shownDetails, enableOpen != 0));
  CZerthUtility::SetVerboseFlag(0);
  EXPECT_FALSE(Trace("Change directory on FTP server", "/pub", 0, true)) << "switched off again";
}

// "&Copy" puts the details on the clipboard exactly (CR LF kept), leaving
// nothing selected; "&Open" hands them to the shell, only when enabled;
// Enter and Escape close the dialog.
TEST_F(VerboseTraceTest, CopyAndOpenTakeTheDetailsExactlyAndEnterOrEscapeClose) {
  const std::string details = "/pub/r\xC3\xA9sum\xC3\xA9.txt\r\n=>\r\n/home/ann/r\xC3\xA9sum\xC3\xA9.txt";
  Show(details, 1);
  auto* edit = Control<QPlainTextEdit>(m_dlg, CVerboseDlg::IDC_DETAILS);
  QClipboard* clipboard = QGuiApplication::clipboard();
  // The edit must not repaint while its text is selected for the copy.
  std::vector<bool> updatesWhileCopying;
  QObject::connect(clipboard, &QClipboard::dataChanged, [&] { updatesWhileCopying.push_back(edit->updatesEnabled()); });
  QTest::mouseClick(Control<QPushButton>(m_dlg, CVerboseDlg::IDC_COPY), Qt::LeftButton);
  EXPECT_EQ(clipboard->text().toStdString(), details);
  EXPECT_EQ(updatesWhileCopying, std::vector<bool>{false});
  EXPECT_TRUE(edit->updatesEnabled());
  EXPECT_FALSE(edit->textCursor().hasSelection());
  EXPECT_TRUE(edit->isReadOnly());
  EXPECT_EQ(Control<QLabel>(m_dlg, CVerboseDlg::IDC_ACTION)->textFormat(), Qt::PlainText);  // no markup from servers

  QTest::mouseClick(Control<QPushButton>(m_dlg, CVerboseDlg::IDC_OPEN), Qt::LeftButton);
  EXPECT_EQ(m_ui.opened, std::vector<std::string>{details});
  EXPECT_TRUE(m_dlg.isVisible());
  m_dlg.SetOpenEnabled(0);
  EXPECT_FALSE(Control<QPushButton>(m_dlg, CVerboseDlg::IDC_OPEN)->isEnabled());
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    Show("http://www.example.org/", 1);
    QTest::keyClick(&m_dlg, key);
    EXPECT_FALSE(m_dlg.isVisible()) << key;
  }
  EXPECT_EQ(m_ui.opened.size(), 1u);
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
