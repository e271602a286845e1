// The Send command: every check and its message in order, the confirmation, the numbered delivery
// report beside the program; the progress window while the run goes on, Cancel, the end; the mail
// layer's logon dialog asked from the run's thread; the offer made for a stopped mailing.
#include "../AppTestKit.h"
#include "CProgressDlg.h"
#include "MailAccountValues.h"
#include "SmtpTestServer.h"
#include "mailing/RunJournal.h"
#include "mailing/SignatureFooter.h"

#include <zerth/CZerthUtility.h>

#include <QCheckBox>
#include <QLabel>
#include <QRegularExpression>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <deque>
#include <ranges>
#include <thread>

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

const std::string kFooter = "--\nSent for <NAME> by Tarvo\n", kKeySig = SealSignatureFooter(kFooter, kFooterKey);

fs::path ProgramFile(const std::string& name) { return fs::path(CZerthUtility::GetAppDir()) / name; }
fs::path Report(int number) { return ProgramFile("SubmissionResults" + std::to_string(number) + ".html"); }

const ShownMessage kConfirmation{"You are about to send 1 e-mail messages. Press OK to continue.", "Tarvo", MB_OKCANCEL};

QString LabelText(const QWidget& window, const char* name) { return window.findChild<QLabel*>(name)->text(); }

}  // namespace

class SendCommandTest : public QObject {
  Q_OBJECT

  PrivateHome m_home;
  const std::string m_runs = m_home.dir.str() + "/state/zerth/runs",
                    m_source = WriteIn(m_home.path(), "body.txt", "Hello <NAME>\n");
  bool m_stringsRegistered = (RegisterStrings(), true);  // before the dialog is made
  testui::UiRecorder m_ui;
  CTarvoDlg m_dlg;
  std::vector<std::string> m_sent;        // by the run's thread; read after the run
  std::function<void(int)> m_beforeSend;  // on the run's thread, with the message's number in this run
  std::function<void()> m_poll;           // every 5 ms on the application's thread
  QTimer m_timer;

  CProgressDlg* progress() const { return m_dlg.findChild<CProgressDlg*>(); }
  // The fields, the table and key.sig (none when empty) for the next Send.
  void fill(const std::string& source, const std::string& title, const Contacts& contacts,
            const std::string& keySig = kKeySig) {
    Item<QLineEdit>(m_dlg, IDC_SOURCE)->setText(QString::fromStdString(source));
    Item<QLineEdit>(m_dlg, IDC_TITLE)->setText(QString::fromStdString(title));
    m_dlg.m_aSelected = ArrayOf(contacts);
    m_dlg.RefreshContactList();
    if (keySig.empty()) fs::remove(ProgramFile("key.sig"));
    else testenv::WriteFile(ProgramFile("key.sig"), keySig);
    m_sent.clear(), m_ui.messages.clear(), m_ui.opened.clear();
  }
  void send(const Contacts& contacts) { fill(m_source, "T", contacts), m_dlg.OnSend(); }
  std::string writeSource(const std::string& name, const std::string& bytes) { return WriteIn(m_home.path(), name, bytes); }

private slots:
  void initTestCase() {
    cleanup();  // what a killed run left
    m_dlg.SetSender([this](const std::string& address, const std::string&, const std::string&) {
      m_sent.push_back(address);
      if (m_beforeSend) m_beforeSend(int(m_sent.size()));
      return address.starts_with("bad") ? 2u : 0u;
    });
    QObject::connect(&m_timer, &QTimer::timeout, [this] { if (m_poll) m_poll(); });
    m_timer.start(5);
    m_dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_dlg));
  }
  void cleanup() {  // the windows, reports and journals of the runs
    m_poll = {}, m_beforeSend = {};
    qDeleteAll(m_dlg.findChildren<CProgressDlg*>());
    for (int k = 0; k < 1000; ++k) fs::remove(Report(k));
    for (RunJournal& journal : RunJournal::FindUnfinished(m_runs)) journal.Discard();
  }
  void cleanupTestCase() { fs::remove(ProgramFile("key.sig")); }

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
      fill(c.source, c.title, c.contact ? Contacts{{"ann@example.org", "Ann"}} : Contacts{}, c.keySig);
      if (c.focus) Item(m_dlg, c.focus == IDC_SOURCE ? IDC_TITLE : IDC_SOURCE)->setFocus();
      m_ui.answer = c.answer;
      m_dlg.OnSend();
      const ShownMessage expected{c.message, "Tarvo", UINT(c.answer == IDOK ? MB_OK : MB_OKCANCEL)};
      QCOMPARE(m_ui.messages, std::vector<ShownMessage>{expected});
      if (c.focus) QCOMPARE(QApplication::focusWidget(), Item(m_dlg, c.focus));
      QVERIFY(m_sent.empty() && !fs::exists(Report(0)) && m_ui.opened.empty());
    }
    g_failingReadPath.clear();
    m_ui.answer = IDOK;
  }

  void reportTakesTheNextNumberAndGivesUpWithAMessage() {
    fs::create_directory(Report(0));  // cannot be opened for writing
    send({{"ann@example.org", "Ann"}});
    QCOMPARE(m_ui.opened, std::vector<std::string>{Report(1).string()});
    for (int k = 1; k < 1000; ++k) fs::remove(Report(k)), fs::create_directory(Report(k));
    send({{"ann@example.org", "Ann"}});
    QVERIFY(m_ui.opened.empty());
    QCOMPARE(m_ui.texts(), (std::vector<std::string>{kConfirmation.text, "The delivery report could not be written. Tried " +
                                                     Report(0).string() + " to " + Report(999).string() + "."}));
  }
  // The window shows the message being sent while the application's loop runs; Cancel there lets that
  // message end and starts no other; then the window stays with the outcome and the report.
  void progressCancelAndTheEnd() {
    Contacts contacts;
    for (int i = 0; i < 1001; ++i) contacts.emplace_back((i == 1 ? "bad" : "r") + std::to_string(i) + "@x", "");
    std::atomic<bool> cancelled = false;
    m_poll = [&] {
      static const QRegularExpression times(R"(^Elapsed: \d+:\d\d\. Remaining: about \d+:\d\d\.$)");
      if (cancelled || !progress() || LabelText(*progress(), "status") != "Sending message 1,000 of 1,001" ||
          LabelText(*progress(), "address") != "r999@x" || !times.match(LabelText(*progress(), "times")).hasMatch())
        return;
      cancelled = (QTest::mouseClick(progress()->findChild<QPushButton*>("cancel"), Qt::LeftButton), true);
    };
    m_beforeSend = [&](int n) {  // holds the thousandth message until the Cancel; the bound only proves "no hang"
      for (int i = 0; n == 1000 && !cancelled && i < 2000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    send(contacts);
    QCOMPARE(m_sent.size(), std::size_t{1000});
    QCOMPARE(LabelText(*progress(), "outcome"), QString("999 sent, 1 failed, 1 not sent"));
    const std::string report = m_ui.opened.at(0);
    QVERIFY(testenv::ReadFile(report).find(std::string("r1000@x</td><td><font color=\"#ff0000\">") +
                                           kNotSentCancelledText) != std::string::npos);
    QCOMPARE(LabelText(*progress(), "reportPath").toStdString(), "Delivery report: " + report);
    QCOMPARE(m_ui.opened, std::vector<std::string>{report});  // opened as before, and by the button
    QTest::mouseClick(progress()->findChild<QPushButton*>("openReport"), Qt::LeftButton);
    QCOMPARE(m_ui.opened, std::vector<std::string>(2, report));
    QTest::mouseClick(progress()->findChild<QPushButton*>("close"), Qt::LeftButton);
    QTRY_VERIFY(!progress());
  }

  // A stopped mailing of four: one done, one in doubt, two not tried; each way through the offer.
  void offerForAStoppedMailing() {
    const CContactArray recipients = ArrayOf({{"a@x", ""}, {"b@x", ""}, {"c@x", ""}, {"d@x", ""}});
    const std::string other = WriteIn(m_home.path(), "other.txt", "Bye\n");
    testenv::WriteFile(ProgramFile("key.sig"), kKeySig);
    struct Case { std::deque<const char*> clicks; std::string source; std::vector<std::string> sent; bool left; };
    const Case cases[] = {  // clicks: one per offer, where "check" first ticks the box
        {{"showReport", "later"}, m_source, {}, true},
        {{"resume", "later"}, other, {}, true},
        {{"resume"}, m_source, {"c@x", "d@x"}, false},
        {{"check", "resume"}, m_source, {"b@x", "c@x", "d@x"}, false},
        {{"discard"}, m_source, {}, false},
    };
    for (const Case& c : cases) {
      std::optional<RunJournal> journal;
      QCOMPARE(RunJournal::Create(m_runs, "T", MailingDigest("Hello <NAME>\n", kFooter), recipients, journal),
               JournalStatus::Ok);
      QVERIFY(journal->RecordStarted(0) && journal->RecordResult(0, 0) && journal->RecordStarted(1));
      const std::string path = journal->Path();
      journal.reset();  // as a crash leaves it
      std::deque<const char*> clicks = c.clicks;
      clicks.push_back("later");  // ends an offer made once too often instead of waiting for ever
      std::vector<QString> said;
      m_poll = [&] {
        QWidget* offer = QApplication::activeModalWidget();
        if (!offer || clicks.empty() || !offer->inherits("CResumeDlg")) return;
        said = {LabelText(*offer, "stopped"), LabelText(*offer, "inDoubt")};
        if (clicks.front() == std::string("check"))
          offer->findChild<QCheckBox*>("sendInDoubt")->setChecked(true), clicks.pop_front();
        QTest::mouseClick(offer->findChild<QPushButton*>(clicks.front()), Qt::LeftButton);
        clicks.pop_front();
      };
      m_sent.clear(), m_ui.opened.clear(), m_ui.messages.clear(), m_ui.fileAnswer = c.source;
      m_dlg.OfferStoppedRuns(m_runs);
      m_poll = {};
      QVERIFY(clicks.size() == 1 && said.at(1).endsWith(" may or may not have been sent:\nb@x"));
      QCOMPARE(said[0], QString("A mailing to 4 recipients stopped after 2."));
      QCOMPARE(m_sent, c.sent);
      QCOMPARE(fs::exists(path) && !RunJournal::FindUnfinished(m_runs).empty(), c.left);
      QCOMPARE(m_ui.opened.size(), std::size_t(!c.sent.empty() || c.clicks.front() == std::string("showReport")));
      for (const std::string& page : m_ui.opened | std::views::transform(testenv::ReadFile))  // the whole mailing's
        QVERIFY(page.find("a@x<") != page.npos && (page.find(kInDoubtText) != page.npos) == (c.sent.size() != 3));
      if (c.source != m_source) QCOMPARE(m_ui.texts().back(), Text(IDS_RESUME_WRONG_SOURCE));
      for (RunJournal& left : RunJournal::FindUnfinished(m_runs)) left.Discard();
    }
  }

  // The mail layer's logon dialog, asked on the run's thread, shows over the progress window, and the
  // password typed there serves the run.
  void logonDialogFromTheRunsThread() {
    providertest::SmtpTestServer server;
    for (const auto& [name, value] :
         {std::pair<const char*, std::string>{"Transport", "smtp"}, {"StartTLS", "required"}, {"From", "t@example.org"},
          {"Server", server.starttlsUrl()}, {"User", server.value("SMTP_USER")}, {"CaFile", server.value("SMTP_CA_FILE")}})
      testaccount::SetAccountValue(name, value);
    QWidget* parent = nullptr;
    m_poll = [&] {
      auto* logon = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!logon || logon->objectName() != "mapi32LogonDialog" || !logon->isVisible()) return;
      parent = logon->parentWidget();
      logon->findChild<QLineEdit*>("password")->setText(QString::fromStdString(server.value("SMTP_PASSWORD")));
      logon->accept();
    };
    m_dlg.SetSender({});
    const std::string address = providertest::UniqueAddress("logon");
    send({{address, ""}});
    QCOMPARE(parent, static_cast<QWidget*>(progress()));
    QCOMPARE(server.messagesFor(address).size(), std::size_t{1});
    QCOMPARE(LabelText(*progress(), "outcome"), QString("1 sent, 0 failed"));
  }
};

QTEST_MAIN(SendCommandTest)
#include "SendCommandTest.moc"
