// The Send command: every check and its message in order, the confirmation, and the numbered
// delivery report beside the program, with the real mail provider writing into a private outbox.
#include "../AppTestKit.h"
#include "mailing/SignatureFooter.h"

#include <zerth/CZerthUtility.h>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace fs = std::filesystem;
using namespace tarvo;
using namespace apptest;
using testui::ShownMessage;

// No file system fails a read half-way on demand, so this program's own read() does: for the file
// named here, the first read gets at most 4096 bytes and every later one fails with EIO.
static std::string g_failingReadPath;

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
  if (!g_failingReadPath.empty()) {
    char target[PATH_MAX] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    if (::readlink(link.c_str(), target, sizeof target - 1) > 0 && target == g_failingReadPath) {
      if (::lseek(fd, 0, SEEK_CUR) > 0) return errno = EIO, -1;
      size = std::min<size_t>(size, 4096);
    }
  }
  return ::syscall(SYS_read, fd, buffer, size);
}

namespace {

const std::string kKeySig = SealSignatureFooter("--\nSent for <NAME> by Tarvo\n", kFooterKey);

fs::path ProgramFile(const std::string& name) { return fs::path(CZerthUtility::GetAppDir()) / name; }
fs::path Report(int number) { return ProgramFile("SubmissionResults" + std::to_string(number) + ".html"); }

const ShownMessage kConfirmation{"You are about to send 1 e-mail messages. Press OK to continue.", "Tarvo", MB_OKCANCEL};

}  // namespace

class SendCommandTest : public QObject {
  Q_OBJECT

  testenv::TempDir m_home;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", (m_home.path() / "config").string()},
      m_data{"XDG_DATA_HOME", (m_home.path() / "data").string()}, m_path{"PATH", TARVO_RUNTIME_DIR};
  bool m_stringsRegistered = (RegisterStrings(), true);  // before the dialog is made
  testui::UiRecorder m_ui;
  CTarvoDlg m_dlg;

  void fill(const std::string& source, const std::string& title, bool contact, const std::string& keySig) {
    Item<QLineEdit>(m_dlg, IDC_SOURCE)->setText(QString::fromStdString(source));
    Item<QLineEdit>(m_dlg, IDC_TITLE)->setText(QString::fromStdString(title));
    m_dlg.m_aSelected = ArrayOf(contact ? Contacts{{"ann@example.org", "Ann"}} : Contacts{});
    m_dlg.RefreshContactList();
    if (keySig.empty()) fs::remove(ProgramFile("key.sig"));
    else testenv::WriteFile(ProgramFile("key.sig"), keySig);
    m_ui.messages.clear(), m_ui.opened.clear();
  }
  std::string writeSource(const std::string& name, const std::string& bytes) {
    testenv::WriteFile(m_home.path() / name, bytes);
    return (m_home.path() / name).string();
  }

private slots:
  void initTestCase() {
    cleanupTestCase();  // what a killed run left
    m_dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_dlg));
  }
  void cleanupTestCase() {
    fs::remove(ProgramFile("key.sig"));
    for (int k = 0; k < 1000; ++k) fs::remove(Report(k));
  }

  // Each check stops the run with its message and sends nothing; so does a Cancel at the confirmation.
  void checksStopTheRunWithTheirMessage() {
    std::string badFormat = kKeySig;
    badFormat.replace(0, 4, 4, '\0');  // N = 0
    const fs::path fifo = m_home.path() / "fifo";
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string body = writeSource("body.txt", "Hello <NAME>\n"), empty = writeSource("empty.txt", "");
    g_failingReadPath = writeSource("failing.txt", std::string(10000, 'x'));
    const std::string cannotRead = "Can't read message source file.", missing = "/nonexistent/message.txt";
    struct Check {
      std::string source, title;
      bool contact;
      std::string keySig, message;
      int focus = 0, answer = IDOK;
    };
    // Each row fails its check and, where it can, every later one too, so that the order shows.
    const Check checks[] = {
        {"", "", false, "", "You have not selected a source file for your message(s).", IDC_SOURCE},
        {missing, "", false, "", "Message title is empty. Please enter the title for your message(s).", IDC_TITLE},
        {missing, "T", false, "",
         "Selected Contacts list is empty. Please select one or more contacts from the Available Contacts list."},
        {missing, "T", true, "", "Can't open message source file."},
        {empty, "T", true, "", cannotRead},
        {"/dev/zero", "T", true, "", cannotRead},
        {fifo.string(), "T", true, "", cannotRead},
        {g_failingReadPath, "T", true, "", cannotRead},  // a read error part-way
        {body, "T", true, "", "Can't open signature file. Please reinstall application."},
        {body, "T", true, std::string("\x01\x00", 2), "Can't read signature file. Please reinstall application."},
        {body, "T", true, badFormat, "Incorrect format of the signature file. Please reinstall application."},
        {body, "T", true, kKeySig, kConfirmation.text, 0, IDCANCEL},
    };
    for (const Check& c : checks) {
      fill(c.source, c.title, c.contact, c.keySig);
      if (c.focus) Item(m_dlg, c.focus == IDC_SOURCE ? IDC_TITLE : IDC_SOURCE)->setFocus();
      m_ui.answer = c.answer;
      m_dlg.OnSend();
      const ShownMessage expected{c.message, "Tarvo", UINT(c.answer == IDOK ? MB_OK : MB_OKCANCEL)};
      QCOMPARE(m_ui.messages, std::vector<ShownMessage>{expected});
      if (c.focus) QCOMPARE(QApplication::focusWidget(), Item(m_dlg, c.focus));
      QVERIFY(!fs::exists(m_home.path() / "data/zerth/Outbox") && !fs::exists(Report(0)) && m_ui.opened.empty());
    }
    g_failingReadPath.clear();
    m_ui.answer = IDOK;
  }

  void reportTakesTheNextNumberAndGivesUpWithAMessage() {
    fill(writeSource("body.txt", "Hi"), "T", true, kKeySig);
    fs::create_directory(Report(0));  // cannot be opened for writing
    m_dlg.OnSend();
    QCOMPARE(m_ui.opened, std::vector<std::string>{Report(1).string()});
    fill(writeSource("body.txt", "Hi"), "T", true, kKeySig);
    for (int k = 1; k < 1000; ++k) fs::remove(Report(k)), fs::create_directory(Report(k));
    m_dlg.OnSend();
    QVERIFY(m_ui.opened.empty());
    QCOMPARE(m_ui.texts(), (std::vector<std::string>{kConfirmation.text, "The delivery report could not be written. Tried " +
                                                     Report(0).string() + " to " + Report(999).string() + "."}));
  }
};

QTEST_MAIN(SendCommandTest)
#include "SendCommandTest.moc"
