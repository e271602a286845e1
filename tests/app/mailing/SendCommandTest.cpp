// The Send command: every check and its message in order, the confirmation,
// one personalised message per recipient through the real provider into a
// private outbox, and the delivery report beside the program.
#include "CContact.h"
#include "mailing/CResultMap.h"
#include "CTarvoDlg.h"
#include "KeySigFile.h"
#include "MailDump.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"
#include "TestEnv.h"

#include <zerth/CZerthUtility.h>
#include <zplatform/UiServices.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <map>
#include <memory>

namespace fs = std::filesystem;
using namespace tarvo;

namespace {

struct UiRecord {
  std::vector<std::string> messages;  // caption + ": " + text
  std::vector<std::string> opened;
  int answer = IDOK;
} g_ui;

const zplatform::UiHooks g_hooks{
    [](const std::string& text, const std::string& caption, UINT) {
      g_ui.messages.push_back(caption + ": " + text);
      return g_ui.answer;
    },
    {},
    [](const std::string& target) {
      g_ui.opened.push_back(target);
      return true;
    },
};

const std::string kFooter = "--\nSent for <NAME> by Tarvo\n";

// No file system fails a read half-way on demand, so this program's own
// read() does: for the file named here, the first read gets at most 4096
// bytes and every read after that fails with EIO.
std::string g_failingReadPath;

bool ReadsFailingFile(int fd) {
  char target[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  return n > 0 && std::string(target, static_cast<std::size_t>(n)) == g_failingReadPath;
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
  if (!g_failingReadPath.empty() && ReadsFailingFile(fd)) {
    if (::lseek(fd, 0, SEEK_CUR) > 0) {
      errno = EIO;
      return -1;
    }
    size = std::min<size_t>(size, 4096);
  }
  return ::syscall(SYS_read, fd, buffer, size);
}

namespace {

fs::path ProgramDir() { return CZerthUtility::GetAppDir(); }

std::vector<fs::path> Delivered(const fs::path& outbox) {
  std::error_code ec;
  return {fs::directory_iterator(outbox / "new", ec), fs::directory_iterator()};
}

}  // namespace

class SendCommandTest : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<testenv::TempDir> m_home;
  std::unique_ptr<testenv::ScopedEnv> m_config, m_data, m_path;
  std::unique_ptr<CTarvoDlg> m_dlg;

  fs::path outbox() const { return m_home->path() / "data" / "zerth" / "Outbox"; }
  QLineEdit* edit(int id) const { return qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(id)); }

  void fill(const std::string& source, const std::string& title, std::vector<CContact> contacts) {
    edit(IDC_SOURCE)->setText(QString::fromStdString(source));
    edit(IDC_TITLE)->setText(QString::fromStdString(title));
    m_dlg->m_aSelected.RemoveAll();
    for (auto& c : contacts) m_dlg->m_aSelected.Add(c);
    m_dlg->RefreshContactList();
  }
  std::string writeSource(const std::string& bytes) {
    const auto path = m_home->path() / "message.txt";
    testenv::WriteFile(path, bytes);
    return path.string();
  }
  void removeReports() {
    for (const auto& entry : fs::directory_iterator(ProgramDir()))
      if (entry.path().filename().string().starts_with("SubmissionResults")) fs::remove_all(entry.path());
  }

private slots:
  void initTestCase() {
    RegisterStrings();
    zplatform::SetUiHooks(&g_hooks);
  }
  void cleanupTestCase() { zplatform::SetUiHooks(nullptr); }

  void init() {
    m_home = std::make_unique<testenv::TempDir>();
    m_config = std::make_unique<testenv::ScopedEnv>("XDG_CONFIG_HOME", (m_home->path() / "config").string());
    m_data = std::make_unique<testenv::ScopedEnv>("XDG_DATA_HOME", (m_home->path() / "data").string());
    m_path = std::make_unique<testenv::ScopedEnv>("PATH", TARVO_RUNTIME_DIR);
    testenv::WriteFile(ProgramDir() / "key.sig", testkeysig::Make(kFooter));
    removeReports();
    g_ui = {};
    m_dlg = std::make_unique<CTarvoDlg>();
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
  }
  void cleanup() {
    m_dlg.reset();
    fs::remove(ProgramDir() / "key.sig");
    removeReports();
    m_path.reset(), m_data.reset(), m_config.reset(), m_home.reset();
  }

  void checksStopTheRunWithTheirMessage_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("contacts");
    QTest::addColumn<QByteArray>("keySig");  // empty: no key.sig
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");

    const QByteArray good = QByteArray::fromStdString(testkeysig::Make(kFooter));
    QTest::newRow("no source, no title") << "" << "" << 1 << good
                                         << "You have not selected a source file for your message(s)." << IDC_SOURCE;
    QTest::newRow("no title") << "BODY" << "" << 1 << good
                              << "Message title is empty. Please enter the title for your message(s)." << IDC_TITLE;
    QTest::newRow("no contacts") << "BODY" << "T" << 0 << good
                                 << "Selected Contacts list is empty. Please select one or more contacts from the "
                                    "Available Contacts list."
                                 << 0;
    QTest::newRow("source missing") << "/nonexistent/message.txt" << "T" << 1 << good
                                    << "Can't open message source file." << 0;
    QTest::newRow("source empty") << "EMPTY" << "T" << 1 << good << "Can't read message source file." << 0;
    QTest::newRow("source endless") << "/dev/zero" << "T" << 1 << good << "Can't read message source file." << 0;
    QTest::newRow("source FIFO") << "FIFO" << "T" << 1 << good << "Can't read message source file." << 0;
    QTest::newRow("source read error part-way") << "FAILING" << "T" << 1 << good << "Can't read message source file."
                                                << 0;
    QTest::newRow("no key.sig") << "BODY" << "T" << 1 << QByteArray()
                                << "Can't open signature file. Please reinstall application." << 0;
    QTest::newRow("key.sig short") << "BODY" << "T" << 1 << QByteArray("\x01\x00", 2)
                                   << "Can't read signature file. Please reinstall application." << 0;
    QTest::newRow("key.sig N = 0") << "BODY" << "T" << 1 << QByteArray::fromStdString(testkeysig::Make(kFooter, 0))
                                   << "Incorrect format of the signature file. Please reinstall application." << 0;
  }
  void checksStopTheRunWithTheirMessage() {
    QFETCH(QString, source);
    QFETCH(QString, title);
    QFETCH(int, contacts);
    QFETCH(QByteArray, keySig);
    QFETCH(QString, message);
    QFETCH(int, focus);

    std::string path = source.toStdString();
    if (path == "BODY") path = writeSource("Hello <NAME>\n");
    if (path == "EMPTY") path = writeSource("");
    if (path == "FIFO") {
      path = (m_home->path() / "fifo").string();
      QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
    }
    if (path == "FAILING") g_failingReadPath = path = writeSource(std::string(10000, 'x'));
    if (keySig.isEmpty()) fs::remove(ProgramDir() / "key.sig");
    else testenv::WriteFile(ProgramDir() / "key.sig", keySig.toStdString());
    std::vector<CContact> list;
    if (contacts) list.push_back(CContact("ann@example.org", "Ann"));
    fill(path, title.toStdString(), list);
    if (focus) edit(focus == IDC_SOURCE ? IDC_TITLE : IDC_SOURCE)->setFocus();

    m_dlg->OnSend();
    g_failingReadPath.clear();
    QCOMPARE(g_ui.messages, std::vector<std::string>{"Tarvo: " + message.toStdString()});
    if (focus) QCOMPARE(QApplication::focusWidget(), m_dlg->GetDlgItem(focus));
    QVERIFY(Delivered(outbox()).empty());
    QVERIFY(!fs::exists(ProgramDir() / "SubmissionResults0.html"));
  }

  void cancelAtTheConfirmationSendsNothing() {
    fill(writeSource("Hi"), "T", {CContact("ann@example.org", "Ann")});
    g_ui.answer = IDCANCEL;
    m_dlg->OnSend();
    QCOMPARE(g_ui.messages,
             std::vector<std::string>{"Tarvo: You are about to send 1 e-mail messages. Press OK to continue."});
    QVERIFY(Delivered(outbox()).empty());
    QVERIFY(!fs::exists(ProgramDir() / "SubmissionResults0.html"));
    QVERIFY(g_ui.opened.empty());
  }

  void everyRecipientGetsAPersonalMessageAndTheReportOpens() {
    const char raw[] = "Hello <NAME>,\n<name> and <NAME> stay apart.\n\0after the zero byte";
    const std::string body(raw, sizeof raw - 1);
    fill(writeSource(body), "News for <NAME>",
         {CContact("ann@example.org", "Ann"), CContact("not-an-address", "Bob"), CContact("cy@example.org", "<NAME>")});
    m_dlg->OnSend();
    QCOMPARE(g_ui.messages,
             std::vector<std::string>{"Tarvo: You are about to send 3 e-mail messages. Press OK to continue."});

    std::map<std::string, testmail::Dump> byRecipient;
    for (const auto& file : Delivered(outbox())) {
      testmail::Dump dump = testmail::DumpMail(file);
      byRecipient.emplace(dump.one("to"), dump);
    }
    QCOMPARE(byRecipient.size(), std::size_t{2});  // the second recipient failed; the third still went
    const auto& ann = byRecipient.at("<ann@example.org>");
    QCOMPARE(ann.one("subject"), std::string("News for <NAME>"));
    QCOMPARE(ann.one("body"), std::string("Hello Ann,\n<name> and Ann stay apart.\n--\nSent for Ann by Tarvo\n"));
    // A name that is itself "<NAME>" is not replaced again.
    QCOMPARE(byRecipient.at("<cy@example.org>").one("body"),
             std::string("Hello <NAME>,\n<name> and <NAME> stay apart.\n--\nSent for <NAME> by Tarvo\n"));

    const fs::path report = ProgramDir() / "SubmissionResults0.html";
    QCOMPARE(g_ui.opened, std::vector<std::string>{report.string()});
    const std::string page = testenv::ReadFile(report);
    QVERIFY(page.starts_with("<HTML><HEAD>\n<TITLE>\n  Tarvo mail delivery results\n</TITLE>\n"));
    QVERIFY(page.ends_with("</table>\n</html>"));
    // Rows in the map's order, whatever the table's order.
    CResultMap expected;
    expected.SetAt("ann@example.org", 0);
    expected.SetAt("not-an-address", 14);
    expected.SetAt("cy@example.org", 0);
    std::string rows;
    expected.ForEach([&rows](const std::string& address, std::uint32_t code) {
      rows += "<tr><td>" + address + "</td><td><font color=\"" + (code ? "#ff0000" : "#00ff00") + "\">" +
              (code ? "A recipient did not appear in the address list. No message was sent." : "SUCCESS") +
              "</font></td></tr>\n";
    });
    QVERIFY2(page.find(rows) != std::string::npos, page.c_str());

    QCOMPARE(m_dlg->m_aSelected.GetSize(), 3);
    QCOMPARE(edit(IDC_TITLE)->text(), QString("News for <NAME>"));
  }

  void reportTakesTheNextNumberAndGivesUpWithAMessage() {
    fill(writeSource("Hi"), "T", {CContact("ann@example.org", "Ann")});
    fs::create_directory(ProgramDir() / "SubmissionResults0.html");  // cannot be opened for writing
    m_dlg->OnSend();
    QCOMPARE(g_ui.opened, std::vector<std::string>{(ProgramDir() / "SubmissionResults1.html").string()});

    g_ui = {};
    for (int k = 1; k < 1000; ++k) {
      fs::remove(ProgramDir() / ("SubmissionResults" + std::to_string(k) + ".html"));
      fs::create_directory(ProgramDir() / ("SubmissionResults" + std::to_string(k) + ".html"));
    }
    m_dlg->OnSend();
    QVERIFY(g_ui.opened.empty());
    QCOMPARE(g_ui.messages.size(), std::size_t{2});
    const std::string dir = ProgramDir().string();
    QCOMPARE(g_ui.messages[1], "Tarvo: The delivery report could not be written. Tried " + dir +
                                   "/SubmissionResults0.html to " + dir + "/SubmissionResults999.html.");
  }
};

QTEST_MAIN(SendCommandTest)
#include "SendCommandTest.moc"
