// The "Windows Address Book" picker with the real address-book provider: the default book and opened
// books listed in collation order, the library found through the registry or the search path,
// failures that keep what was shown, and the hand-over of display names.
#include "../AppTestKit.h"
#include "sources/CWabDlg.h"

#include <QLabel>
#include <QListWidget>

using namespace apptest;

namespace {

const std::string kCannotOpen =
    "There was a problem opening Windows Address Book. Make sure you have e-mail account created.";

// Versions 2.1 (quoted-printable), 3.0 (a folded line) and 4.0, a group, and
// two mail users with one display name. "\xC3\x89" is "E" with an acute
// accent, which collation sorts with "E", before "F".
const std::string kDefaultBook =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=89mile Zola\r\n"
    "EMAIL;INTERNET:emile@x.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:anna\r\n  Berg\r\nEMAIL;TYPE=INTERNET:anna@x.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Fay Lund\r\nEMAIL:fay@x.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Team\r\nMEMBER:mailto:fay@x.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Carl Ray\r\nEMAIL:carl@x.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Carl Ray\r\nEMAIL:carl.ray@y.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob Zed\r\nEMAIL:bob@x.org\r\nEND:VCARD\r\n";
const QStringList kDefaultNames = {"anna Berg", "Bob Zed", "Carl Ray",
                                   "Carl Ray", QString::fromUtf8("\xC3\x89mile Zola"), "Fay Lund"};

QStringList Names(const CWabDlg& dlg) {
  QStringList names;
  const auto* list = Item<QListWidget>(dlg, CWabDlg::IDC_CONTACTS);
  for (int row = 0; row < list->count(); ++row) names << list->item(row)->text();
  return names;
}

QString BookName(const CWabDlg& dlg) { return Item<QLabel>(dlg, CWabDlg::IDC_WAB_NAME)->text(); }

}  // namespace

class WabDlgTest : public QObject {
  Q_OBJECT

  testenv::TempDir m_dir;
  testenv::ScopedEnv m_data{"XDG_DATA_HOME", m_dir.str() + "/data"};
  std::filesystem::path m_defaultBook = m_dir.path() / "data/zerth/addressbook.vcf";
  std::string m_searchPath = std::string(TARVO_RUNTIME_DIR) + ":" + qgetenv("PATH").toStdString();
  std::unique_ptr<testui::UiRecorder> m_ui;

  // A machine hive of the test's own, with DLLPath set when it is not empty.
  void setLibraryValue(const std::string& library) {
    UseMachineHive(m_dir.path(), library.empty() ? "" : "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\WAB\\DLLPath]\n@=\""
                                                        + library + "\"\n");
  }

private slots:
  void initTestCase() { tarvo::RegisterStrings(); }
  void init() {
    m_ui = std::make_unique<testui::UiRecorder>();
    setLibraryValue("");
    testenv::WriteFile(m_defaultBook, kDefaultBook);
  }
  void cleanup() { m_ui.reset(); }

  // The library comes from DLLPath when it is set (a wrong one is not replaced
  // by the search), else as WAB32.DLL along PATH; without it the dialog opens
  // empty under the template's label. A missing default book is an empty one.
  void findsTheLibraryAndTheDefaultBook_data() {
    QTest::addColumn<QString>("library");
    QTest::addColumn<bool>("searchPath");
    QTest::addColumn<bool>("bookThere");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("label");
    const QString runtimeLibrary = TARVO_RUNTIME_DIR "/libwab32.so";
    QTest::newRow("search path") << "" << true << true << kDefaultNames << "Default Address Book";
    QTest::newRow("registered") << runtimeLibrary << false << true << kDefaultNames << "Default Address Book";
    QTest::newRow("registered, wrong") << "/nonexistent/libwab32.so" << true << true << QStringList() << "Static";
    QTest::newRow("nowhere") << "" << false << true << QStringList() << "Static";
    QTest::newRow("no default book") << "" << true << false << QStringList() << "Default Address Book";
  }
  void findsTheLibraryAndTheDefaultBook() {
    QFETCH(QString, library);
    QFETCH(bool, searchPath);
    QFETCH(bool, bookThere);
    setLibraryValue(library.toStdString());
    testenv::ScopedEnv path("PATH", searchPath ? m_searchPath : "/usr/bin:/bin");
    if (!bookThere) std::filesystem::remove(m_defaultBook);
    CWabDlg dlg;
    QTEST(Names(dlg), "names");
    QTEST(BookName(dlg), "label");
    const bool opened = !library.startsWith("/nonexistent") && (searchPath || !library.isEmpty());
    QCOMPARE(m_ui->texts(), opened ? std::vector<std::string>() : std::vector<std::string>{kCannotOpen});
    if (Names(dlg) != kDefaultNames) return;
    // OK hands over the selected rows in list order, each display name as both address and name.
    for (int row : {5, 1, 4}) Item<QListWidget>(dlg, CWabDlg::IDC_CONTACTS)->item(row)->setSelected(true);
    Click(dlg, CWabDlg::IDC_OK);
    const std::string emile = "\xC3\x89mile Zola";
    QCOMPARE(ContactsOf(dlg.m_aContacts), (Contacts{{"Bob Zed", "Bob Zed"}, {emile, emile}, {"Fay Lund", "Fay Lund"}}));
  }

  // "&Open WAB..." replaces list and label with an LDIF book's; a book that
  // does not open, and a cancelled file dialog, leave both as they were.
  void opensOtherBooks() {
    testenv::ScopedEnv path("PATH", m_searchPath);
    const std::string ldif = (m_dir.path() / "Kollegen \xC3\xBC.ldif").string();
    testenv::WriteFile(ldif, "version: 1\n\ndn: cn=Zoe Adler,mail=zoe@x.org\nobjectClass: inetOrgPerson\n"
                             "cn: Zoe Adler\nmail: zoe@x.org\n\ndn: mail=j@x.org\n"
                             "objectClass: inetOrgPerson\ncn:: SsO8cmdlbiBCYXVlcg==\nmail: j@x.org\n");
    CWabDlg dlg;
    const std::optional<std::string> answers[] = {ldif, m_dir.str() + "/gone.vcf", m_dir.str(), std::nullopt};
    for (const std::optional<std::string>& answer : answers) {
      m_ui->fileAnswer = answer;
      Click(dlg, CWabDlg::IDC_OPEN_WAB);
      QCOMPARE(Names(dlg), (QStringList{QString::fromUtf8("J\xC3\xBCrgen Bauer"), "Zoe Adler"}));
      QCOMPARE(BookName(dlg), QString::fromStdString(ldif));
    }
    QCOMPARE(m_ui->texts(), (std::vector<std::string>{kCannotOpen, kCannotOpen}));
    const std::string filter = "vCard and LDIF address books (*.vcf;*.ldif;*.ldi)|*.vcf;*.ldif;*.ldi|"
                               "Windows Address Book (*.wab)|*.wab|All Files (*.*)|*.*|";
    QCOMPARE(m_ui->fileFilters, std::vector<std::string>(4, filter));
  }
};

QTEST_MAIN(WabDlgTest)
#include "WabDlgTest.moc"
