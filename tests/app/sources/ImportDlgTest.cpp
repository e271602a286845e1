// The "Import contacts from file" picker: its controls, browsing, every
// message, the dialog staying open until an import completes, and the
// hand-over to the main dialog.
#include "sources/CImportDlg.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"
#include "TestEnv.h"

#include <zplatform/UiServices.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using Contacts = std::vector<std::pair<std::string, std::string>>;  // address, name
Q_DECLARE_METATYPE(Contacts)

namespace {

struct ShownMessage {
  std::string text;
  std::string caption;
  UINT type;
  bool operator==(const ShownMessage&) const = default;
};

// What the dialog asked of the user-interface services.
struct UiRecord {
  std::vector<ShownMessage> messages;
  std::vector<std::string> fileFilters;
  std::optional<std::string> fileAnswer;
  std::function<void()> duringMessage;  // looks at the dialog while a message is up
} g_ui;

const zplatform::UiHooks g_hooks{
    [](const std::string& text, const std::string& caption, UINT type) {
      g_ui.messages.push_back({text, caption, type});
      if (g_ui.duringMessage) g_ui.duringMessage();
      return IDOK;
    },
    [](const std::string& filter) {
      g_ui.fileFilters.push_back(filter);
      return g_ui.fileAnswer;
    },
    [](const std::string&) { return true; },
};

// Only the file dialog answered: message boxes are Qt's own.
const zplatform::UiHooks g_fileOnlyHooks{nullptr, g_hooks.openFile, nullptr};

const char kCannotOpen[] = "Unable to open source file";
const char kBadLayout[] = "Internal error. Incorrect file type. Import aborted";

std::string Summary(int imported, int ignored) {
  return "Import completed.\nContacts imported:\t" + std::to_string(imported) + "\t\nEntries ignored:\t" +
         std::to_string(ignored) + "\t";
}

ShownMessage Box(std::string text) { return {std::move(text), "Tarvo", MB_OK}; }

QLineEdit* Edit(const CImportDlg& dlg, int id) { return qobject_cast<QLineEdit*>(dlg.GetDlgItem(id)); }
QPushButton* Button(const CImportDlg& dlg, int id) { return qobject_cast<QPushButton*>(dlg.GetDlgItem(id)); }
QComboBox* FileType(const CImportDlg& dlg) { return qobject_cast<QComboBox*>(dlg.GetDlgItem(CImportDlg::IDC_FILE_TYPE)); }

Contacts ContactsOf(const CContactArray& array) {
  Contacts out;
  for (int i = 0; i < array.GetSize(); ++i) out.emplace_back(array[i].m_sAddress, array[i].m_sName);
  return out;
}

void Fill(CImportDlg& dlg, const std::string& path, int layout, const std::string& separator) {
  FileType(dlg)->setCurrentIndex(layout);
  Edit(dlg, CImportDlg::IDC_SOURCE_FILE)->setText(QString::fromStdString(path));
  Edit(dlg, CImportDlg::IDC_SEPARATOR)->setText(QString::fromStdString(separator));
}

void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

// Runs the dialog modally; steps runs inside its modal loop.
int ExecWith(CImportDlg& dlg, const std::function<void()>& steps) {
  QTimer::singleShot(0, &dlg, steps);
  return dlg.exec();
}

// What Qt's message boxes said while action ran; each is closed with OK.
QStringList RealMessageBoxesDuring(const std::function<void()>& action) {
  QStringList seen;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    seen << box->windowTitle() + "|" + box->text();
    box->button(QMessageBox::Ok)->click();
  });
  poll.start();
  action();
  poll.stop();
  return seen;
}

}  // namespace

class ImportDlgTest : public QObject {
  Q_OBJECT

  testenv::TempDir m_dir;

  std::string WriteSource(const std::string& name, const std::string& content) {
    const auto path = m_dir.path() / name;
    testenv::WriteFile(path, content);
    return path.string();
  }

private slots:
  void initTestCase() {
    tarvo::RegisterStrings();
    zplatform::SetUiHooks(&g_hooks);
  }
  void cleanupTestCase() { zplatform::SetUiHooks(nullptr); }
  void init() {
    g_ui = UiRecord{};
    zplatform::SetUiHooks(&g_hooks);
  }

  void startsWithItsControlsAddressesOnlyAndTheSeparatorDisabled() {
    CImportDlg dlg;
    QCOMPARE(dlg.windowTitle(), QString("Import contacts from file"));
    QCOMPARE(Edit(dlg, CImportDlg::IDC_SOURCE_FILE)->text(), QString());
    QCOMPARE(Edit(dlg, CImportDlg::IDC_SEPARATOR)->text(), QString("|"));
    QVERIFY(!Edit(dlg, CImportDlg::IDC_SEPARATOR)->isEnabled());
    QCOMPARE(Button(dlg, CImportDlg::IDC_BROWSE_FILE)->text(), QString("&..."));
    QCOMPARE(Button(dlg, CImportDlg::IDC_IMPORT)->text(), QString("&Import"));
    QVERIFY(Button(dlg, CImportDlg::IDC_IMPORT)->isDefault());
    QCOMPARE(Button(dlg, CImportDlg::IDC_CANCEL)->text(), QString("Cancel"));
    QComboBox* type = FileType(dlg);
    QCOMPARE(type->itemText(0), QString("E-mail addresses only"));
    QCOMPARE(type->itemText(1), QString("E-mail addresses and contact names"));
    QCOMPARE(type->itemText(2), QString("Contact names and e-mail addresses"));
    QVERIFY(!type->isEditable() && type->count() == 3 && type->currentIndex() == 0);

    QStringList labels;
    for (QLabel* label : dlg.findChildren<QLabel*>()) {
      if (label->objectName() == "icon") QVERIFY(!label->pixmap().isNull());
      else labels << label->text();
    }
    labels.sort();
    QCOMPARE(labels, QStringList({"File type:",
                                  "Select source file, file type and press Import button to add contacts.",
                                  "Separator:", "Source file:"}));
    // Every control lies inside the dialog and no two overlap.
    const QList<QWidget*> children = dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* a : children) {
      QVERIFY(dlg.rect().contains(a->geometry()));
      for (QWidget* b : children) QVERIFY(a == b || !a->geometry().intersects(b->geometry()));
    }
  }

  void separatorIsEnabledForEveryLayoutButTheFirst() {
    CImportDlg dlg;
    dlg.show();
    QLineEdit* separator = Edit(dlg, CImportDlg::IDC_SEPARATOR);
    QComboBox* type = FileType(dlg);
    type->setFocus();
    QTest::keyClick(type, Qt::Key_Down);  // as the user picks the next entry
    QVERIFY(separator->isEnabled());
    separator->setText(";;");
    for (int index : {0, 2}) {
      type->setCurrentIndex(index);
      QCOMPARE(separator->isEnabled(), index != 0);
      QCOMPARE(separator->text(), QString(";;"));
    }
  }

  void browsePutsTheChosenPathIntoTheSourceField() {
    CImportDlg dlg;
    QLineEdit* source = Edit(dlg, CImportDlg::IDC_SOURCE_FILE);
    g_ui.fileAnswer = "/home/anna/Kontakte \xC3\xBC.csv";
    Click(Button(dlg, CImportDlg::IDC_BROWSE_FILE));
    QCOMPARE(source->text(), QString::fromUtf8("/home/anna/Kontakte \xC3\xBC.csv"));
    g_ui.fileAnswer.reset();  // the user cancels
    Click(Button(dlg, CImportDlg::IDC_BROWSE_FILE));
    QCOMPARE(source->text(), QString::fromUtf8("/home/anna/Kontakte \xC3\xBC.csv"));
    const std::string filter = "Text files (*.txt)|*.txt|CSV files (*.csv)|*.csv|All files (*.*)|*.*|";
    QCOMPARE(g_ui.fileFilters, std::vector<std::string>({filter, filter}));
  }

  void completedImportFillsTheContactsShowsTheSummaryAndAccepts_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("layout");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Contacts>("expected");
    QTest::addColumn<int>("ignored");
    QTest::addRow("empty file") << "empty.txt" << 2 << "|" << QByteArray() << Contacts{} << 0;
    QTest::addRow("UTF-8 path, separator as typed")
        << "Kontakte \xC3\xBC.txt" << 2 << " ;" << QByteArray("J\xC3\xBCrgen ;jg@x.de\nBob;b@y\n\n")
        << Contacts{{"jg@x.de", "J\xC3\xBCrgen"}} << 2;
  }
  void completedImportFillsTheContactsShowsTheSummaryAndAccepts() {
    QFETCH(QString, fileName);
    QFETCH(int, layout);
    QFETCH(QString, separator);
    QFETCH(QByteArray, content);
    QFETCH(Contacts, expected);
    QFETCH(int, ignored);
    const std::string path = WriteSource(fileName.toStdString(), content.toStdString());
    CImportDlg dlg;
    const int result = ExecWith(dlg, [&] {
      Fill(dlg, path, layout, separator.toStdString());
      Click(Button(dlg, CImportDlg::IDC_IMPORT));
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(ContactsOf(dlg.m_aContacts), expected);
    QCOMPARE(g_ui.messages, std::vector<ShownMessage>({Box(Summary(int(expected.size()), ignored))}));
  }

  // Imports that stop half-way: their message, no summary, the dialog open.
  void abortedImportKeepsTheDialogOpen_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("layout");
    QTest::addColumn<QString>("message");
    QTest::addRow("layout out of range") << QString::fromStdString(WriteSource("bad-layout.txt", "\na@x\n")) << -1
                                         << kBadLayout;
    // Opens as a regular file; reading its first page, never mapped, fails.
    QTest::addRow("read error") << "/proc/self/mem" << 0 << "Unable to read source file";
  }
  void abortedImportKeepsTheDialogOpen() {
    QFETCH(QString, path);
    QFETCH(int, layout);
    QFETCH(QString, message);
    CImportDlg dlg;
    bool openAfter = false;
    const int result = ExecWith(dlg, [&] {
      Fill(dlg, path.toStdString(), layout, "|");  // layout -1: no entry selected
      Click(Button(dlg, CImportDlg::IDC_IMPORT));
      openAfter = dlg.isVisible();
      Click(Button(dlg, CImportDlg::IDC_CANCEL));
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(openAfter);
    QCOMPARE(g_ui.messages, std::vector<ShownMessage>({Box(message.toStdString())}));
    QVERIFY(dlg.m_aContacts.IsEmpty());
  }

  // Qt's own message boxes show the exact texts, tabs included.
  void realMessageBoxesShowTheExactTexts() {
    zplatform::SetUiHooks(&g_fileOnlyHooks);
    const std::string path = WriteSource("real.txt", "a@x\n\nb@y\nnothing\n");
    CImportDlg dlg;
    bool openAfterFailure = false;
    int result = 0;
    const QStringList seen = RealMessageBoxesDuring([&] {
      result = ExecWith(dlg, [&] {
        Fill(dlg, (m_dir.path() / "missing.txt").string(), 0, "|");
        Click(Button(dlg, CImportDlg::IDC_IMPORT));
        openAfterFailure = dlg.isVisible();
        Fill(dlg, path, 0, "|");
        Click(Button(dlg, CImportDlg::IDC_IMPORT));
      });
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(openAfterFailure);
    QCOMPARE(seen, QStringList({QString("Tarvo|") + kCannotOpen,
                                QString("Tarvo|Import completed.\nContacts imported:\t2\t\nEntries ignored:\t2\t")}));
  }

  // The main dialog takes what a completed import read, and nothing after a
  // Cancel, however many imports failed before it.
  void mainDialogMergesACompletedImportOnly() {
    const std::string path = WriteSource("merge.txt", "a@x|A\nb@y|B\na@x|Again\n");
    CTarvoDlg main;
    main.SetPickerFactory([](int buttonId) -> std::unique_ptr<CContactPickerDlg> {
      if (buttonId != tarvo::IDC_ADD_TEXT_FILE) return nullptr;
      return std::make_unique<CImportDlg>();
    });
    auto pickWith = [&](const std::function<void(CImportDlg&)>& steps) {
      QTimer::singleShot(0, &main, [&] {
        auto* picker = qobject_cast<CImportDlg*>(QApplication::activeModalWidget());
        QVERIFY(picker);
        steps(*picker);
      });
      main.OnPickContacts(tarvo::IDC_ADD_TEXT_FILE);
    };

    // Failed opens (empty path, missing file, directory) keep the picker open,
    // over its message too, and leave it without contacts.
    std::vector<bool> openDuringMessage, openAfterFailure;
    pickWith([&](CImportDlg& picker) {
      picker.m_aContacts.Add(CContact("old@x", "Old"));
      g_ui.duringMessage = [&] { openDuringMessage.push_back(picker.isVisible()); };
      for (const std::string& bad : {std::string(), (m_dir.path() / "missing.txt").string(), m_dir.str()}) {
        Fill(picker, bad, 1, "|");
        Click(Button(picker, CImportDlg::IDC_IMPORT));
        openAfterFailure.push_back(picker.isVisible() && picker.m_aContacts.IsEmpty());
      }
      g_ui.duringMessage = nullptr;
      Click(Button(picker, CImportDlg::IDC_CANCEL));
    });
    QCOMPARE(openDuringMessage, std::vector<bool>(3, true));
    QCOMPARE(openAfterFailure, std::vector<bool>(3, true));
    QCOMPARE(main.m_aSelected.GetSize(), 0);

    pickWith([&](CImportDlg& picker) {
      Fill(picker, path, 1, "|");
      Click(Button(picker, CImportDlg::IDC_IMPORT));
    });
    QCOMPARE(ContactsOf(main.m_aSelected), Contacts({{"a@x", "A"}, {"b@y", "B"}}));
    QCOMPARE(g_ui.messages, std::vector<ShownMessage>({Box(kCannotOpen), Box(kCannotOpen), Box(kCannotOpen), Box(Summary(3, 0))}));
  }
};

QTEST_MAIN(ImportDlgTest)
#include "ImportDlgTest.moc"
