// The main dialog on the offscreen platform: controls, state labels, the
// recipient table through pickers and Delete, the About box and the menus.
#include "CAboutDlg.h"
#include "CContactListModel.h"
#include "CContactPickerDlg.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"

#include <zplatform/UiServices.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace tarvo;

namespace {

using Contacts = std::vector<std::pair<std::string, std::string>>;  // address, name

struct ShownMessage {
  std::string text;
  std::string caption;
  UINT type;
};

// What the dialog asked of the user-interface services.
struct UiRecord {
  std::vector<ShownMessage> messages;
  std::vector<std::string> fileFilters;
  std::optional<std::string> fileAnswer;
};

UiRecord g_ui;

const zplatform::UiHooks g_hooks{
    [](const std::string& text, const std::string& caption, UINT type) {
      g_ui.messages.push_back({text, caption, type});
      return IDOK;
    },
    [](const std::string& filter) {
      g_ui.fileFilters.push_back(filter);
      return g_ui.fileAnswer;
    },
    [](const std::string&) { return true; },
};

enum class Drawn { Gold, Red, Other };

// Whether every pixel of the image is the background blended with colour
// (as antialiased text is), and some pixels mostly colour.
bool PaintedIn(const QImage& image, QColor background, QColor colour) {
  const double dr = colour.red() - background.red(), dg = colour.green() - background.green(),
               db = colour.blue() - background.blue();
  const double length2 = dr * dr + dg * dg + db * db;
  int strong = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      const double pr = p.red() - background.red(), pg = p.green() - background.green(),
                   pb = p.blue() - background.blue();
      const double share = (pr * dr + pg * dg + pb * db) / length2;
      const double er = pr - share * dr, eg = pg - share * dg, eb = pb - share * db;
      if (er * er + eg * eg + eb * eb > 12.0 * 12.0) return false;
      if (share > 0.6) ++strong;
    }
  }
  return strong >= 5;
}

// The colour the label's text is actually painted in: render the label and
// see which text colour its pixels are a blend of.
Drawn DrawnTextColour(QWidget* label) {
  const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
  std::map<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
  const QColor background = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                              return a.second < b.second;
                            })->first;
  const bool gold = PaintedIn(image, background, QColor(251, 220, 112));
  const bool red = PaintedIn(image, background, QColor(255, 0, 0));
  if (gold && !red) return Drawn::Gold;
  if (red && !gold) return Drawn::Red;
  return Drawn::Other;
}

CContactArray ToArray(const Contacts& contacts) {
  CContactArray array;
  for (const auto& [address, name] : contacts) array.Add(CContact(address, name));
  return array;
}

Contacts TableOf(const CTarvoDlg& dlg) {
  Contacts out;
  for (int i = 0; i < dlg.m_aSelected.GetSize(); ++i)
    out.emplace_back(dlg.m_aSelected[i].m_sAddress, dlg.m_aSelected[i].m_sName);
  return out;
}

QTreeView* ListOf(const CTarvoDlg& dlg) { return qobject_cast<QTreeView*>(dlg.GetDlgItem(IDC_CONTACT_LIST)); }

// The rows as the list shows them.
Contacts RowsOf(const CTarvoDlg& dlg) {
  const QAbstractItemModel* model = ListOf(dlg)->model();
  Contacts out;
  for (int row = 0; row < model->rowCount(); ++row) {
    out.emplace_back(model->index(row, CContactListModel::kAddressColumn).data().toString().toStdString(),
                     model->index(row, CContactListModel::kNameColumn).data().toString().toStdString());
  }
  return out;
}

QPushButton* Button(const CTarvoDlg& dlg, int id) { return qobject_cast<QPushButton*>(dlg.GetDlgItem(id)); }
QLineEdit* Edit(const CTarvoDlg& dlg, int id) { return qobject_cast<QLineEdit*>(dlg.GetDlgItem(id)); }

// A picker that ends by itself, with the given contacts, as soon as it runs.
std::unique_ptr<CContactPickerDlg> AutoPicker(const Contacts& contacts, bool confirm) {
  auto picker = std::make_unique<CContactPickerDlg>();
  picker->m_aContacts = ToArray(contacts);
  CContactPickerDlg* raw = picker.get();
  QTimer::singleShot(0, raw, [raw, confirm] { confirm ? raw->accept() : raw->reject(); });
  return picker;
}

// Runs one picker through button 1020 that ends as asked.
void Pick(CTarvoDlg& dlg, const Contacts& contacts, bool confirm = true) {
  dlg.SetPickerFactory([&](int) { return AutoPicker(contacts, confirm); });
  QTest::mouseClick(Button(dlg, IDC_ADD_TEXT_FILE), Qt::LeftButton);
  // The dialog takes the activation back once the picker has gone.
  if (!QTest::qWaitForWindowActive(&dlg)) qWarning("main dialog not active after the picker");
}

void ClickRow(CTarvoDlg& dlg, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTreeView* list = ListOf(dlg);
  const QRect rect = list->visualRect(list->model()->index(row, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
}

// What a modal dialog opened during an action showed.
struct ModalSeen {
  QString className;
  QString title;
  QStringList texts;
};

// Runs action; every modal dialog that opens meanwhile is recorded and closed
// with its OK button (or rejected when it has none).
std::vector<ModalSeen> ModalsOpenedBy(const std::function<void()>& action) {
  std::vector<ModalSeen> seen;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&seen] {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!modal || !modal->isVisible()) return;
    ModalSeen record{modal->metaObject()->className(), modal->windowTitle(), {}};
    for (QLabel* label : modal->findChildren<QLabel*>()) record.texts << label->text();
    for (QGroupBox* box : modal->findChildren<QGroupBox*>()) record.texts << box->title();
    seen.push_back(record);
    if (auto* ok = modal->findChild<QPushButton*>(QString::number(IDC_ABOUT_OK))) {
      QTest::mouseClick(ok, Qt::LeftButton);
    } else {
      modal->reject();
    }
  });
  poll.start();
  action();
  QTest::qWait(30);
  poll.stop();
  return seen;
}

}  // namespace

class TarvoDlgTest : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<CTarvoDlg> ShowDialog() {
    auto dlg = std::make_unique<CTarvoDlg>();
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    if (!QTest::qWaitForWindowActive(dlg.get())) qWarning("main dialog did not become active");
    return dlg;
  }

private slots:
  void initTestCase() {
    RegisterStrings();
    zplatform::SetUiHooks(&g_hooks);
  }
  void cleanupTestCase() { zplatform::SetUiHooks(nullptr); }
  void init() { g_ui = UiRecord{}; }

  void controlsHaveTheirKindAndLabel_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("label");
    auto row = [](int id, const char* kind, const char* label) {
      QTest::addRow("%d", id) << id << QString(kind) << QString(label);
    };
    row(IDC_HOTSPOT, "QWidget", "");
    row(IDC_HELP_BUTTON, "CSkinButton", "Button1");
    row(IDC_CLOSE_BUTTON, "CSkinButton", "Button1");
    row(IDC_LABEL_CONTACTS, "QLabel", "Selected Contacts");
    row(IDC_CONTACT_LIST, "QTreeView", "");
    row(IDC_ADD_OUTLOOK, "QPushButton", "Add MS &Outlook e-mails");
    row(IDC_ADD_OUTLOOK_FOLDER, "QPushButton", "Add MS Outlook &folder");
    row(IDC_ADD_WAB, "QPushButton", "Add &WAB e-mails");
    row(IDC_ADD_TEXT_FILE, "QPushButton", "Add from &text file");
    row(IDC_DELETE, "QPushButton", "&Delete");
    row(IDC_LABEL_TITLE, "QLabel", "Message Title:");
    row(IDC_TITLE, "QLineEdit", "");
    row(IDC_LABEL_SOURCE, "QLabel", "Message Source:");
    row(IDC_SOURCE, "QLineEdit", "");
    row(IDC_BROWSE, "QPushButton", "...");
    row(IDC_SEND, "QPushButton", "&Send");
    row(IDC_CLOSE, "QPushButton", "&Close");
  }
  void controlsHaveTheirKindAndLabel() {
    QFETCH(int, id);
    QFETCH(QString, kind);
    QFETCH(QString, label);
    CTarvoDlg dlg;
    QWidget* control = dlg.GetDlgItem(id);
    QVERIFY(control);
    QCOMPARE(QString(control->metaObject()->className()), kind);
    if (auto* button = qobject_cast<QPushButton*>(control)) QCOMPARE(button->text(), label);
    if (auto* text = qobject_cast<QLabel*>(control)) QCOMPARE(text->text(), label);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) QCOMPARE(edit->text(), label);
  }

  void dialogIsAFramelessTaskbarWindowTitledTarvo() {
    auto dlg = ShowDialog();
    QVERIFY(dlg->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(dlg->isWindow());
    QVERIFY(!dlg->parentWidget());
    QCOMPARE(dlg->windowTitle(), QString("Tarvo"));
    QCOMPARE(dlg->size(), QSize(570, 430));
    QVERIFY(Button(*dlg, IDC_SEND)->isDefault());
    QVERIFY(!dlg->GetDlgItem(IDC_HOTSPOT)->isVisible());
  }

  void controlsSitAtTheirPixelRectangles_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QRect>("pixels");
    QTest::addRow("list") << IDC_CONTACT_LIST << QRect(193, 94, 331, 169);
    QTest::addRow("outlook") << IDC_ADD_OUTLOOK << QRect(42, 164, 127, 22);
    QTest::addRow("send") << IDC_SEND << QRect(183, 368, 75, 22);
    // A title button takes the size of its 21 by 21 mask.
    QTest::addRow("close title") << IDC_CLOSE_BUTTON << QRect(508, 32, 21, 21);
    QTest::addRow("browse") << IDC_BROWSE << QRect(489, 333, 18, 19);
    QTest::addRow("source label") << IDC_LABEL_SOURCE << QRect(55, 336, 88, 13);
  }
  void controlsSitAtTheirPixelRectangles() {
    QFETCH(int, id);
    QFETCH(QRect, pixels);
    CTarvoDlg dlg;
    QCOMPARE(dlg.GetDlgItem(id)->geometry(), pixels);
  }

  void listHasTwoHalfWidthColumnsAndKeepsSelectionVisible() {
    auto dlg = ShowDialog();
    QTreeView* list = ListOf(*dlg);
    QCOMPARE(list->model()->columnCount(), 2);
    QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QString("Name"));
    QCOMPARE(list->model()->headerData(1, Qt::Horizontal).toString(), QString("Address"));
    const int half = list->viewport()->width() / 2;
    QCOMPARE(list->header()->sectionSize(0), half);
    QCOMPARE(list->header()->sectionSize(1), half);
    const QPalette palette = list->palette();
    QCOMPARE(palette.color(QPalette::Inactive, QPalette::Highlight), palette.color(QPalette::Active, QPalette::Highlight));
  }

  void atStartDeleteIsDisabledAndAllLabelsRed() {
    auto dlg = ShowDialog();
    QVERIFY(!Button(*dlg, IDC_DELETE)->isEnabled());
    for (int id : {IDC_LABEL_CONTACTS, IDC_LABEL_TITLE, IDC_LABEL_SOURCE}) {
      QCOMPARE(DrawnTextColour(dlg->GetDlgItem(id)), Drawn::Red);
      QVERIFY(!dlg->GetDlgItem(id)->autoFillBackground());
    }
  }

  void fieldLabelTurnsGoldWhileItsFieldHasText_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("label");
    QTest::addColumn<int>("otherLabel");
    QTest::addRow("title") << IDC_TITLE << IDC_LABEL_TITLE << IDC_LABEL_SOURCE;
    QTest::addRow("source") << IDC_SOURCE << IDC_LABEL_SOURCE << IDC_LABEL_TITLE;
  }
  void fieldLabelTurnsGoldWhileItsFieldHasText() {
    QFETCH(int, field);
    QFETCH(int, label);
    QFETCH(int, otherLabel);
    auto dlg = ShowDialog();
    QLineEdit* edit = Edit(*dlg, field);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_X);
    QCOMPARE(DrawnTextColour(dlg->GetDlgItem(label)), Drawn::Gold);
    QCOMPARE(DrawnTextColour(dlg->GetDlgItem(otherLabel)), Drawn::Red);
    QCOMPARE(DrawnTextColour(dlg->GetDlgItem(IDC_LABEL_CONTACTS)), Drawn::Red);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(DrawnTextColour(dlg->GetDlgItem(label)), Drawn::Red);
  }

  void contactsLabelIsGoldWhileTheTableHasRows() {
    auto dlg = ShowDialog();
    Pick(*dlg, {{"a@x.org", "A"}});
    QCOMPARE(DrawnTextColour(dlg->GetDlgItem(IDC_LABEL_CONTACTS)), Drawn::Gold);
    ClickRow(*dlg, 0);
    QTest::mouseClick(Button(*dlg, IDC_DELETE), Qt::LeftButton);
    QCOMPARE(dlg->m_aSelected.GetSize(), 0);
    QCOMPARE(DrawnTextColour(dlg->GetDlgItem(IDC_LABEL_CONTACTS)), Drawn::Red);
  }

  void deleteIsEnabledExactlyWhileARowIsSelected() {
    auto dlg = ShowDialog();
    Pick(*dlg, {{"a@x.org", "A"}, {"b@x.org", "B"}});
    QVERIFY(!Button(*dlg, IDC_DELETE)->isEnabled());
    ClickRow(*dlg, 1);
    QVERIFY(Button(*dlg, IDC_DELETE)->isEnabled());
    ListOf(*dlg)->selectionModel()->clearSelection();
    QVERIFY(!Button(*dlg, IDC_DELETE)->isEnabled());
  }

  void deletingRowsOneAndThreeOfFiveKeepsTheOthersInOrder() {
    auto dlg = ShowDialog();
    const Contacts five = {{"0@x", "N0"}, {"1@x", "N1"}, {"2@x", "N2"}, {"3@x", "N3"}, {"4@x", "N4"}};
    Pick(*dlg, five);
    ClickRow(*dlg, 1);
    ClickRow(*dlg, 3, Qt::ControlModifier);
    QCOMPARE(ListOf(*dlg)->selectionModel()->selectedRows().size(), 2);
    QTest::mouseClick(Button(*dlg, IDC_DELETE), Qt::LeftButton);
    const Contacts left = {five[0], five[2], five[4]};
    QCOMPARE(TableOf(*dlg), left);
    QCOMPARE(RowsOf(*dlg), left);
    QVERIFY(!Button(*dlg, IDC_DELETE)->isEnabled());
  }

  void pickerResultIsMergedSkippingKnownAddresses_data() {
    QTest::addColumn<Contacts>("table");
    QTest::addColumn<Contacts>("picked");
    QTest::addColumn<Contacts>("expected");
    QTest::addRow("empty table keeps first of repeats")
        << Contacts{} << Contacts{{"a@x", "A"}, {"b@x", "B"}, {"a@x", "A2"}}
        << Contacts{{"a@x", "A"}, {"b@x", "B"}};
    QTest::addRow("known address keeps first name")
        << Contacts{{"a@x", "Ann"}} << Contacts{{"a@x", "Other"}, {"c@x", "C"}}
        << Contacts{{"a@x", "Ann"}, {"c@x", "C"}};
    QTest::addRow("case makes different recipients")
        << Contacts{{"Bob@x.org", "B1"}} << Contacts{{"bob@x.org", "B2"}, {"BOB@X.ORG", "B3"}}
        << Contacts{{"Bob@x.org", "B1"}, {"bob@x.org", "B2"}, {"BOB@X.ORG", "B3"}};
    QTest::addRow("only first empty address")
        << Contacts{} << Contacts{{"", "E1"}, {"", "E2"}, {"d@x", "D"}} << Contacts{{"", "E1"}, {"d@x", "D"}};
    QTest::addRow("empty address already known")
        << Contacts{{"", "E"}} << Contacts{{"", "F"}} << Contacts{{"", "E"}};
    QTest::addRow("old entries first, then new in source order")
        << Contacts{{"b@x", "B"}, {"a@x", "A"}} << Contacts{{"c@x", "C"}, {"a@x", "A"}, {"d@x", "D"}}
        << Contacts{{"b@x", "B"}, {"a@x", "A"}, {"c@x", "C"}, {"d@x", "D"}};
  }
  void pickerResultIsMergedSkippingKnownAddresses() {
    QFETCH(Contacts, table);
    QFETCH(Contacts, picked);
    QFETCH(Contacts, expected);
    auto dlg = ShowDialog();
    if (!table.empty()) Pick(*dlg, table);
    Pick(*dlg, picked);
    QCOMPARE(TableOf(*dlg), expected);
    QCOMPARE(RowsOf(*dlg), expected);
  }

  void cancelledOrEmptyPickerLeavesTableAndListUnchanged_data() {
    QTest::addColumn<Contacts>("picked");
    QTest::addColumn<bool>("confirm");
    QTest::addRow("cancelled with contacts") << Contacts{{"new@x", "New"}} << false;
    QTest::addRow("cancelled empty") << Contacts{} << false;
    QTest::addRow("confirmed empty") << Contacts{} << true;
  }
  void cancelledOrEmptyPickerLeavesTableAndListUnchanged() {
    QFETCH(Contacts, picked);
    QFETCH(bool, confirm);
    auto dlg = ShowDialog();
    const Contacts before = {{"a@x", "A"}, {"b@x", "B"}};
    Pick(*dlg, before);
    ClickRow(*dlg, 1);
    Pick(*dlg, picked, confirm);
    QCOMPARE(TableOf(*dlg), before);
    QCOMPARE(RowsOf(*dlg), before);
    QVERIFY(g_ui.messages.empty());
    // A cancelled picker does not touch the list, so the selection stays.
    if (!confirm) QVERIFY(Button(*dlg, IDC_DELETE)->isEnabled());
  }

  void confirmedPickerRebuildsTheListWithNothingSelected() {
    auto dlg = ShowDialog();
    Pick(*dlg, {{"a@x", "A"}, {"b@x", "B"}});
    ClickRow(*dlg, 0);
    QVERIFY(Button(*dlg, IDC_DELETE)->isEnabled());
    Pick(*dlg, {{"c@x", "C"}});
    QCOMPARE(ListOf(*dlg)->model()->rowCount(), 3);
    QVERIFY(!ListOf(*dlg)->selectionModel()->hasSelection());
    QVERIFY(!Button(*dlg, IDC_DELETE)->isEnabled());
  }

  void pickerButtonsAskForTheirOwnPicker() {
    auto dlg = ShowDialog();
    std::vector<int> asked;
    dlg->SetPickerFactory([&](int id) {
      asked.push_back(id);
      return AutoPicker({{std::to_string(id) + "@x", "P"}}, true);
    });
    std::vector<int> expected;
    for (int id : {IDC_ADD_OUTLOOK, IDC_ADD_OUTLOOK_FOLDER, IDC_ADD_WAB, IDC_ADD_TEXT_FILE}) {
      if (!Button(*dlg, id)->isEnabled()) continue;
      QTest::mouseClick(Button(*dlg, id), Qt::LeftButton);
      expected.push_back(id);
    }
    QCOMPARE(asked, expected);
    QCOMPARE(dlg->m_aSelected.GetSize(), int(expected.size()));
  }

  void mnemonicClicksItsButton_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("button");
    QTest::addRow("Alt+O") << int(Qt::Key_O) << IDC_ADD_OUTLOOK;
    QTest::addRow("Alt+F") << int(Qt::Key_F) << IDC_ADD_OUTLOOK_FOLDER;
    QTest::addRow("Alt+W") << int(Qt::Key_W) << IDC_ADD_WAB;
    QTest::addRow("Alt+T") << int(Qt::Key_T) << IDC_ADD_TEXT_FILE;
    QTest::addRow("Alt+D") << int(Qt::Key_D) << IDC_DELETE;
    QTest::addRow("Alt+S") << int(Qt::Key_S) << IDC_SEND;
    QTest::addRow("Alt+C") << int(Qt::Key_C) << IDC_CLOSE;
  }
  void mnemonicClicksItsButton() {
    QFETCH(int, key);
    QFETCH(int, button);
    auto dlg = ShowDialog();
    Pick(*dlg, {{"a@x", "A"}});
    ClickRow(*dlg, 0);  // so that "&Delete" is enabled
    dlg->SetPickerFactory([](int) { return AutoPicker({}, false); });
    if (!Button(*dlg, button)->isEnabled()) QSKIP("this system offers no Simple MAPI mail");
    QVERIFY(dlg->isActiveWindow());
    QSignalSpy clicked(Button(*dlg, button), &QPushButton::clicked);
    QTest::keyClick(dlg.get(), Qt::Key(key), Qt::AltModifier);
    QTRY_COMPARE(clicked.size(), 1);  // a mnemonic clicks after a short animation
  }

  void missingPickerSaysSoAndChangesNothing() {
    auto dlg = ShowDialog();
    dlg->SetPickerFactory({});
    // The text-file picker exists; the other sources come later.
    for (int id : {IDC_ADD_OUTLOOK, IDC_ADD_OUTLOOK_FOLDER, IDC_ADD_WAB}) dlg->OnPickContacts(id);
    QCOMPARE(g_ui.messages.size(), std::size_t{3});
    for (const ShownMessage& message : g_ui.messages) {
      QCOMPARE(message.text, std::string("This contact source is not available in this version of Tarvo."));
      QCOMPARE(message.caption, std::string("Tarvo"));
      QCOMPARE(message.type, MB_OK);
    }
    QCOMPARE(dlg->m_aSelected.GetSize(), 0);
  }

  void browsePutsTheChosenPathIntoTheSourceField_data() {
    QTest::addColumn<std::optional<std::string>>("answer");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("gold");
    QTest::addRow("chosen") << std::optional<std::string>("/home/ann/letters/spring \xc3\xa9t\xc3\xa9.txt")
                            << QString::fromUtf8("/home/ann/letters/spring \xc3\xa9t\xc3\xa9.txt") << true;
    QTest::addRow("cancelled") << std::optional<std::string>() << QString() << false;
  }
  void browsePutsTheChosenPathIntoTheSourceField() {
    QFETCH(std::optional<std::string>, answer);
    QFETCH(QString, field);
    QFETCH(bool, gold);
    auto dlg = ShowDialog();
    g_ui.fileAnswer = answer;
    QTest::mouseClick(Button(*dlg, IDC_BROWSE), Qt::LeftButton);
    QCOMPARE(g_ui.fileFilters, std::vector<std::string>{"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"});
    QCOMPARE(Edit(*dlg, IDC_SOURCE)->text(), field);
    QCOMPARE(DrawnTextColour(dlg->GetDlgItem(IDC_LABEL_SOURCE)), gold ? Drawn::Gold : Drawn::Red);
  }

  void aboutBoxOpensTheSameFromWindowMenuAndHelpButton_data() {
    QTest::addColumn<bool>("fromMenu");
    QTest::addRow("Alt+Space menu") << true;
    QTest::addRow("help title button") << false;
  }
  void aboutBoxOpensTheSameFromWindowMenuAndHelpButton() {
    QFETCH(bool, fromMenu);
    auto dlg = ShowDialog();
    std::vector<ModalSeen> seen = ModalsOpenedBy([&] {
      if (!fromMenu) {
        QTest::mouseClick(Button(*dlg, IDC_HELP_BUTTON), Qt::LeftButton);
        return;
      }
      QTest::keyClick(dlg.get(), Qt::Key_Space, Qt::AltModifier);
      auto* menu = dlg->findChild<QMenu*>("systemMenu");
      QTRY_VERIFY(menu && menu->isVisible());
      const QList<QAction*> actions = menu->actions();
      QVERIFY(actions.size() >= 2);
      QVERIFY(actions[actions.size() - 2]->isSeparator());
      QCOMPARE(actions.last()->text(), QString("&About Tarvo..."));
      QCOMPARE(actions.last()->data().toInt(), IDM_ABOUTBOX);
      QTest::keyClick(menu, Qt::Key_A);  // its mnemonic
    });
    QCOMPARE(seen.size(), std::size_t{1});
    QCOMPARE(seen[0].className, QString("CAboutDlg"));
    QCOMPARE(seen[0].title, QString("About Tarvo"));
    QVERIFY(seen[0].texts.contains("Tarvo 1.0"));
    QVERIFY(seen[0].texts.contains("Contact Information"));
    QVERIFY(seen[0].texts.contains("Email:"));
    QVERIFY(seen[0].texts.contains("Site:"));
    QVERIFY(dlg->isVisible());
  }

  void contextMenuItemOneDoesNothing() {
    auto dlg = ShowDialog();
    Pick(*dlg, {{"a@x", "A"}, {"b@x", "B"}});
    ClickRow(*dlg, 0);
    Edit(*dlg, IDC_TITLE)->setText("Spring news");
    const Contacts before = TableOf(*dlg);
    std::vector<ModalSeen> seen = ModalsOpenedBy([&] {
      const QPoint where(20, 20);
      QContextMenuEvent event(QContextMenuEvent::Mouse, where, dlg->mapToGlobal(where));
      QApplication::sendEvent(dlg.get(), &event);
      auto* menu = dlg->findChild<QMenu*>("contextMenu");
      QTRY_VERIFY(menu && menu->isVisible());
      QCOMPARE(menu->actions().size(), 1);
      QCOMPARE(menu->actions()[0]->text(), QString("1"));
      QCOMPARE(menu->actions()[0]->data().toInt(), IDM_ABOUTBOX);
      QTest::keyClick(menu, Qt::Key_Down);
      QTest::keyClick(menu, Qt::Key_Return);
      QTRY_VERIFY(!menu->isVisible());
    });
    QVERIFY(seen.empty());
    QVERIFY(g_ui.messages.empty());
    QVERIFY(dlg->isVisible());
    QCOMPARE(TableOf(*dlg), before);
    QCOMPARE(Edit(*dlg, IDC_TITLE)->text(), QString("Spring news"));
    QVERIFY(Button(*dlg, IDC_DELETE)->isEnabled());
  }

  void enterPressesSendWhateverHasTheFocusAtStart() {
    auto dlg = ShowDialog();
    QSignalSpy sent(Button(*dlg, IDC_SEND), &QPushButton::clicked);
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : dlg.get(), Qt::Key_Return);
    QCOMPARE(sent.size(), 1);
    QVERIFY(dlg->isVisible());
  }

  void dialogEndsCancelledByEveryCloseRoute_data() {
    QTest::addColumn<QString>("route");
    QTest::addRow("Escape") << "escape";
    QTest::addRow("Close button") << "close";
    QTest::addRow("close title button") << "title";
    QTest::addRow("window menu Close") << "menu";
  }
  void dialogEndsCancelledByEveryCloseRoute() {
    QFETCH(QString, route);
    auto dlg = ShowDialog();
    dlg->setResult(-1);
    if (route == "escape") QTest::keyClick(dlg.get(), Qt::Key_Escape);
    if (route == "close") QTest::mouseClick(Button(*dlg, IDC_CLOSE), Qt::LeftButton);
    if (route == "title") QTest::mouseClick(Button(*dlg, IDC_CLOSE_BUTTON), Qt::LeftButton);
    if (route == "menu") {
      QTest::keyClick(dlg.get(), Qt::Key_Space, Qt::AltModifier);
      auto* menu = dlg->findChild<QMenu*>("systemMenu");
      QTRY_VERIFY(menu && menu->isVisible());
      QTest::keyClick(menu, Qt::Key_C);
    }
    QTRY_VERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
  }
};


QTEST_MAIN(TarvoDlgTest)
#include "TarvoDlgTest.moc"
