// The "Import contacts from file" picker: file types, browsing, every message, staying open until an
// import completes, and the hand-over to the main dialog.
#include "../AppTestKit.h"

using namespace apptest;

namespace {

std::string Summary(int imported, int ignored) {
  return "Import completed.\nContacts imported:\t" + std::to_string(imported) + "\t\nEntries ignored:\t" +
         std::to_string(ignored) + "\t";
}

}  // namespace

class ImportDlgTest : public QObject {
  Q_OBJECT

  testenv::TempDir m_dir;
  std::unique_ptr<testui::UiRecorder> m_ui;

private slots:
  void initTestCase() { tarvo::RegisterStrings(); }
  void init() { m_ui = std::make_unique<testui::UiRecorder>(); }
  void cleanup() { m_ui.reset(); }

  // The list's index is the layout; the separator counts for all but the first; a cancelled browse
  // leaves the source field.
  void fileTypeSeparatorAndBrowse() {
    CImportDlg dlg;
    dlg.show();
    auto* type = Item<QComboBox>(dlg, CImportDlg::IDC_FILE_TYPE);
    auto* separator = Item<QLineEdit>(dlg, CImportDlg::IDC_SEPARATOR);
    QCOMPARE(QStringList({type->itemText(1), type->itemText(2)}),
             QStringList({"E-mail addresses and contact names", "Contact names and e-mail addresses"}));
    QVERIFY(!type->isEditable() && type->count() == 3 && type->currentIndex() == 0);
    QVERIFY(separator->text() == "|" && !separator->isEnabled());
    type->setFocus();
    QTest::keyClick(type, Qt::Key_Down);  // as the user picks the next entry
    QVERIFY(separator->isEnabled());
    type->setCurrentIndex(0);
    QVERIFY(!separator->isEnabled());
    // Every control lies inside the dialog and no two overlap.
    const QList<QWidget*> children = dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* a : children) {
      QVERIFY(dlg.rect().contains(a->geometry()));
      for (QWidget* b : children) QVERIFY(a == b || !a->geometry().intersects(b->geometry()));
    }
    m_ui->fileAnswer = "/l/Kontakte \xC3\xBC.csv";
    Click(dlg, CImportDlg::IDC_BROWSE_FILE);
    m_ui->fileAnswer.reset();  // the user cancels
    Click(dlg, CImportDlg::IDC_BROWSE_FILE);
    QCOMPARE(Item<QLineEdit>(dlg, CImportDlg::IDC_SOURCE_FILE)->text(), QString::fromUtf8("/l/Kontakte \xC3\xBC.csv"));
    const std::string filter = "Text files (*.txt)|*.txt|CSV files (*.csv)|*.csv|All files (*.*)|*.*|";
    QCOMPARE(m_ui->fileFilters, std::vector<std::string>({filter, filter}));
  }

  // Qt's own message boxes show the exact texts, tabs included.
  void realMessageBoxesShowTheExactTexts() {
    m_ui.reset();
    const std::string path = WriteIn(m_dir.path(), "real.txt", "a@x\n\nb@y\nnothing\n");
    CImportDlg dlg;
    const std::vector<QStringList> seen = ModalsOpenedBy([&] {
      QTimer::singleShot(0, &dlg, [&] { ImportFile(dlg, m_dir.str() + "/missing.txt", 0), ImportFile(dlg, path, 0); });
      QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    }, "QMessageBox");
    QCOMPARE(seen.size(), std::size_t{2});
    QVERIFY(seen[0][1] == "Tarvo" && seen[0].contains("Unable to open source file"));
    QVERIFY(seen[1][1] == "Tarvo" && seen[1].contains(QString::fromStdString(Summary(2, 2))));
  }

  // A failed import keeps the picker open, over its message too, without contacts; the main dialog
  // takes nothing after a Cancel, and what a completed import read.
  void mainDialogMergesACompletedImportOnly() {
    CTarvoDlg main;
    const std::pair<std::string, int> failures[] = {
        {"", 1}, {(m_dir.path() / "missing.txt").string(), 1}, {m_dir.str(), 1},
        {WriteIn(m_dir.path(), "bad-layout.txt", "\na@x\n"), -1},  // no entry selected
        {"/proc/self/mem", 0},  // opens as a regular file; reading its first page, never mapped, fails
    };
    std::vector<bool> open;  // during each message and after it
    PickThrough<CImportDlg>(main, tarvo::IDC_ADD_TEXT_FILE, [&](CImportDlg& picker) {
      picker.m_aContacts.Add(CContact("old@x", "Old"));
      m_ui->duringMessage = [&] { open.push_back(picker.isVisible()); };
      for (const auto& [path, layout] : failures) {
        ImportFile(picker, path, layout);
        open.push_back(picker.isVisible() && picker.m_aContacts.IsEmpty());
      }
      m_ui->duringMessage = nullptr;
      Click(picker, CImportDlg::IDC_CANCEL);
    });
    QCOMPARE(open, std::vector<bool>(10, true));
    QCOMPARE(main.m_aSelected.GetSize(), 0);
    for (const std::string& file : {WriteIn(m_dir.path(), "empty.txt", ""),
                                    WriteIn(m_dir.path(), "K \xC3\xBC.txt", "J\xC3\xBCrgen ;jg@x\nBob;b@y\n\nAnn ;a@x\n")})
      PickThrough<CImportDlg>(main, tarvo::IDC_ADD_TEXT_FILE, [&](CImportDlg& p) { ImportFile(p, file, 2, " ;"); });
    QCOMPARE(ContactsOf(main.m_aSelected), (Contacts{{"jg@x", "J\xC3\xBCrgen"}, {"a@x", "Ann"}}));
    const std::string cannotOpen = "Unable to open source file";
    QCOMPARE(m_ui->texts(), (std::vector<std::string>{cannotOpen, cannotOpen, cannotOpen,
                                                      "Internal error. Incorrect file type. Import aborted",
                                                      "Unable to read source file", Summary(0, 0), Summary(2, 2)}));
    QCOMPARE(m_ui->messages[0], (testui::ShownMessage{cannotOpen, "Tarvo", MB_OK}));
  }
};

QTEST_MAIN(ImportDlgTest)
#include "ImportDlgTest.moc"
