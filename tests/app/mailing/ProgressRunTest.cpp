// The Send command's progress window while the run goes on, Cancel, the end; the mail layer's logon
// dialog asked from the run's thread; the offer made for a stopped mailing (Resume, Show report, Discard).
#include "../AppTestKit.h"
#include "CProgressDlg.h"
#include "MailAccountValues.h"
#include "SmtpTestServer.h"
#include "mailing/DeliveryReport.h"
#include "mailing/RunJournal.h"
#include "mailing/SignatureFooter.h"

#include <zerth/CZerthUtility.h>

#include <QCheckBox>
#include <QLabel>
#include <QRegularExpression>

#include <atomic>
#include <deque>
#include <ranges>
#include <thread>

namespace fs = std::filesystem;
using namespace apptest;

namespace {

QString LabelText(const QWidget& window, const char* name) { return window.findChild<QLabel*>(name)->text(); }

// Until done() holds, on the run's thread; the bound only proves "no hang".
void AwaitFromRun(const std::function<bool()>& done) {
  for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace

class ProgressRunTest : public QObject {
  Q_OBJECT

  testenv::TempDir m_home;
  testenv::ScopedEnv m_state{"XDG_STATE_HOME", m_home.str()}, m_config{"XDG_CONFIG_HOME", m_home.str()},
      m_path{"PATH", std::string(TARVO_RUNTIME_DIR ":") + std::getenv("PATH")};
  const std::string m_runs = m_home.str() + "/zerth/runs", m_source = m_home.str() + "/body.txt";
  bool m_ready = (tarvo::RegisterStrings(), testenv::WriteFile(m_source, "Hello <NAME>\n"),
                  fs::copy_file(TARVO_RUNTIME_DIR "/key.sig", fs::path(CZerthUtility::GetAppDir()) / "key.sig",
                                fs::copy_options::overwrite_existing));
  testui::UiRecorder m_ui;
  CTarvoDlg m_dlg;
  std::vector<std::string> m_sent;  // by the run's thread; read after the run
  std::function<void(int)> m_beforeSend;  // on the run's thread, with the message's number in this run
  std::function<void()> m_poll;           // every 5 ms on the application's thread
  QTimer m_timer;

  CProgressDlg* progress() const { return m_dlg.findChild<CProgressDlg*>(); }
  void send(const Contacts& contacts) {
    m_dlg.m_aSelected = ArrayOf(contacts);
    m_dlg.RefreshContactList();
    m_sent.clear(), m_ui.messages.clear(), m_ui.opened.clear();
    m_dlg.OnSend();
  }

private slots:
  void initTestCase() {
    m_dlg.SetSender([this](const std::string& address, const std::string&, const std::string&) {
      m_sent.push_back(address);
      if (m_beforeSend) m_beforeSend(int(m_sent.size()));
      return address.starts_with("bad") ? 2u : 0u;
    });
    QObject::connect(&m_timer, &QTimer::timeout, [this] { if (m_poll) m_poll(); });
    m_timer.start(5);
    m_dlg.show();
    Item<QLineEdit>(m_dlg, tarvo::IDC_SOURCE)->setText(QString::fromStdString(m_source));
    Item<QLineEdit>(m_dlg, tarvo::IDC_TITLE)->setText("T");
  }

  void cleanup() {  // the windows and reports of the runs
    m_poll = {}, m_beforeSend = {};
    qDeleteAll(m_dlg.findChildren<CProgressDlg*>());
    for (const std::string& report : m_ui.opened) fs::remove(report);
    for (RunJournal& journal : RunJournal::FindUnfinished(m_runs)) journal.Discard();
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
    m_beforeSend = [&](int n) { if (n == 1000) AwaitFromRun([&] { return cancelled.load(); }); };
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
    testenv::WriteFile(m_home.path() / "other.txt", "Bye\n");
    std::string footer, keySig = CZerthUtility::GetAppDir() + std::string("/key.sig");
    QCOMPARE(ReadSignatureFooter(keySig, tarvo::Text(tarvo::IDS_FOOTER_KEY), footer), FooterStatus::Ok);
    struct Case { std::deque<const char*> clicks; std::string source; std::vector<std::string> sent; bool left; };
    const Case cases[] = {  // clicks: one per offer, where "check" first ticks the box
        {{"showReport", "later"}, m_source, {}, true},
        {{"resume", "later"}, (m_home.path() / "other.txt").string(), {}, true},
        {{"resume"}, m_source, {"c@x", "d@x"}, false},
        {{"check", "resume"}, m_source, {"b@x", "c@x", "d@x"}, false},
        {{"discard"}, m_source, {}, false},
    };
    for (const Case& c : cases) {
      std::optional<RunJournal> journal;
      QCOMPARE(RunJournal::Create(m_runs, "T", MailingDigest("Hello <NAME>\n", footer), recipients, journal),
               JournalStatus::Ok);
      QVERIFY(journal->RecordStarted(0) && journal->RecordResult(0, 0) && journal->RecordStarted(1));
      const std::string path = journal->Path();
      journal.reset();  // as a crash leaves it
      std::deque<const char*> clicks = c.clicks;
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
      QVERIFY(clicks.empty() && said.at(1).endsWith(" may or may not have been sent:\nb@x"));
      QCOMPARE(said[0], QString("A mailing to 4 recipients stopped after 2."));
      QCOMPARE(m_sent, c.sent);
      QCOMPARE(fs::exists(path) && !RunJournal::FindUnfinished(m_runs).empty(), c.left);
      QCOMPARE(m_ui.opened.size(), std::size_t(!c.sent.empty() || c.clicks.front() == std::string("showReport")));
      for (const std::string& page : m_ui.opened | std::views::transform(testenv::ReadFile))  // the whole mailing's
        QVERIFY(page.find("a@x<") != page.npos && (page.find(kInDoubtText) != page.npos) == (c.sent.size() != 3));
      if (c.source != m_source) QCOMPARE(m_ui.texts().back(), tarvo::Text(tarvo::IDS_RESUME_WRONG_SOURCE));
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

QTEST_MAIN(ProgressRunTest)
#include "ProgressRunTest.moc"
