// The main dialog on the offscreen platform: controls, state labels, the
// recipient table through pickers and Delete, the About box and the menus.
#include "CAboutDlg.h"
#include "CContactListModel.h"
#include "CContactPickerDlg.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"

#include <zplatform/UiServices.h>

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
#include <QVector3D>

#include <algorithm>
#include <map>
#include <optional>

using namespace tarvo;

namespace {

using Contacts = std::vector<std::pair<std::string, std::string>>;  // address, name

// What the dialog asked of the user-interface services.
struct UiRecord {
  std::vector<std::string> messages;  // caption, type and text
  std::vector<std::string> fileFilters;
  std::optional<std::string> fileAnswer;
} g_ui;

const zplatform::UiHooks g_hooks{
    [](const std::string& text, const std::string& caption, UINT type) {
      g_ui.messages.push_back(caption + "|" + std::to_string(type) + "|" + text);
      return IDOK;
    },
    [](const std::string& filter) {
      g_ui.fileFilters.push_back(filter);
      return g_ui.fileAnswer;
    },
    [](const std::string&) { return true; },
};

enum class Drawn { Gold, Red, Other };

// Antialiased text: every pixel lies between background and colour, some near colour.
bool PaintedIn(const QImage& image, QColor background, QColor colour) {
  const QVector3D base(background.red(), background.green(), background.blue());
  const QVector3D d = QVector3D(colour.red(), colour.green(), colour.blue()) - base;
  int strong = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      const QVector3D p = QVector3D(c.red(), c.green(), c.blue()) - base;
      const float share = QVector3D::dotProduct(p, d) / d.lengthSquared();
      if ((p - share * d).length() > 12.0f) return false;
      if (share > 0.6f) ++strong;
    }
  }
  return strong >= 5;
}

// The colour the label's text is actually painted in.
Drawn DrawnTextColour(QWidget* label) {
  const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
  std::map<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
  const QColor background =
      std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
  const bool gold = PaintedIn(image, background, QColor(251, 220, 112));
  const bool red = PaintedIn(image, background, QColor(255, 0, 0));
  return gold == red ? Drawn::Other : gold ? Drawn::Gold : Drawn::Red;
}

Contacts TableOf(const CTarvoDlg& dlg) {
  Contacts out;
  for (int i = 0; i < dlg.m_aSelected.GetSize(); ++i)
    out.emplace_back(dlg.m_aSelected[i].m_sAddress, dlg.m_aSelected[i].m_sName);
  return out;
}

QTreeView* ListOf(const CTarvoDlg& dlg) { return qobject_cast<QTreeView*>(dlg.GetDlgItem(IDC_CONTACT_LIST)); }

Contacts RowsOf(const CTarvoDlg& dlg) {
  const QAbstractItemModel* model = ListOf(dlg)->model();
  Contacts out;
  for (int row = 0; row < model->rowCount(); ++row)
    out.emplace_back(model->index(row, CContactListModel::kAddressColumn).data().toString().toStdString(),
                     model->index(row, CContactListModel::kNameColumn).data().toString().toStdString());
  return out;
}

QPushButton* Button(const CTarvoDlg& dlg, int id) { return qobject_cast<QPushButton*>(dlg.GetDlgItem(id)); }
QLineEdit* Edit(const CTarvoDlg& dlg, int id) { return qobject_cast<QLineEdit*>(dlg.GetDlgItem(id)); }

// A picker that ends by itself, with the given contacts, as soon as it runs.
std::unique_ptr<CContactPickerDlg> AutoPicker(const Contacts& contacts, bool confirm) {
  auto picker = std::make_unique<CContactPickerDlg>();
  for (const auto& [address, name] : contacts) picker->m_aContacts.Add(CContact(address, name));
  CContactPickerDlg* raw = picker.get();
  QTimer::singleShot(0, raw, [raw, confirm] { confirm ? raw->accept() : raw->reject(); });
  return picker;
}

// Runs one picker through button 1020 that ends as asked.
void Pick(CTarvoDlg& dlg, const Contacts& contacts, bool confirm = true) {
  dlg.SetPickerFactory([&](int) { return AutoPicker(contacts, confirm); });
  QTest::mouseClick(Button(dlg, IDC_ADD_TEXT_FILE), Qt::LeftButton);
  if (!QTest::qWaitForWindowActive(&dlg)) QTest::qFail("main dialog not active after the picker", __FILE__, __LINE__);
}

void ClickRow(CTarvoDlg& dlg, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTreeView* list = ListOf(dlg);
  const QRect rect = list->visualRect(list->model()->index(row, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
}

struct ModalSeen {
  QString className, title;
  QStringList texts;
};

// Runs action; every modal dialog opened meanwhile is recorded and closed.
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
    auto* ok = modal->findChild<QPushButton*>(QString::number(IDC_ABOUT_OK));
    ok ? QTest::mouseClick(ok, Qt::LeftButton) : modal->reject();
  });
  poll.start();
  action();
  // A dialog the action queued (a posted event, a zero timer) opens while
  // the queue drains; then the poll has seen everything there is.
  for (int round = 0; round < 3; ++round) {
    bool drained = false;
    QTimer::singleShot(0, [&drained] { drained = true; });
    while (!drained) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  poll.stop();
  return seen;
}

}  // namespace

class TarvoDlgTest : public QObject {
  Q_OBJECT

  std::unique_ptr<CTarvoDlg> ShowDialog() {
    auto dlg = std::make_unique<CTarvoDlg>();
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    if (!QTest::qWaitForWindowActive(dlg.get())) QTest::qFail("main dialog did not become active", __FILE__, __LINE__);
    return dlg;
  }
  static Drawn Colour(const CTarvoDlg& dlg, int id) { return DrawnTextColour(dlg.GetDlgItem(id)); }

private slots:
  void initTestCase() {
    RegisterStrings();
    zplatform::SetUiHooks(&g_hooks);
  }
  void cleanupTestCase() { zplatform::SetUiHooks(nullptr); }
  void init() { g_ui = UiRecord{}; }

  void controlsHaveTheirKindLabelAndPlace() {  // and the window and list styles
    struct Control {
      int id;
      const char* kind;
      const char* label;
    };
    const Control controls[] = {
        {IDC_HOTSPOT, "QWidget", ""},
        {IDC_HELP_BUTTON, "CSkinButton", "Button1"},
        {IDC_CLOSE_BUTTON, "CSkinButton", "Button1"},
        {IDC_LABEL_CONTACTS, "QLabel", "Selected Contacts"},
        {IDC_CONTACT_LIST, "QTreeView", ""},
        {IDC_ADD_OUTLOOK, "QPushButton", "Add MS &Outlook e-mails"},
        {IDC_ADD_OUTLOOK_FOLDER, "QPushButton", "Add MS Outlook &folder"},
        {IDC_ADD_WAB, "QPushButton", "Add &WAB e-mails"},
        {IDC_ADD_TEXT_FILE, "QPushButton", "Add from &text file"},
        {IDC_DELETE, "QPushButton", "&Delete"},
        {IDC_LABEL_TITLE, "QLabel", "Message Title:"},
        {IDC_TITLE, "QLineEdit", ""},
        {IDC_LABEL_SOURCE, "QLabel", "Message Source:"},
        {IDC_SOURCE, "QLineEdit", ""},
        {IDC_BROWSE, "QPushButton", "..."},
        {IDC_SEND, "QPushButton", "&Send"},
        {IDC_CLOSE, "QPushButton", "&Close"},
    };
    auto dlg = ShowDialog();
    for (const Control& c : controls) {
      QWidget* control = dlg->GetDlgItem(c.id);
      QVERIFY2(control, c.label);
      QCOMPARE(QString(control->metaObject()->className()), QString(c.kind));
      if (auto* button = qobject_cast<QPushButton*>(control)) QCOMPARE(button->text(), QString(c.label));
      if (auto* text = qobject_cast<QLabel*>(control)) QCOMPARE(text->text(), QString(c.label));
      if (auto* edit = qobject_cast<QLineEdit*>(control)) QCOMPARE(edit->text(), QString(c.label));
    }
    // A few rectangles prove the dialog-unit conversion; a title button takes its 21 by 21 mask's size.
    QCOMPARE(dlg->GetDlgItem(IDC_CONTACT_LIST)->geometry(), QRect(193, 94, 331, 169));
    QCOMPARE(dlg->GetDlgItem(IDC_BROWSE)->geometry(), QRect(489, 333, 18, 19));
    QCOMPARE(dlg->GetDlgItem(IDC_CLOSE_BUTTON)->geometry(), QRect(508, 32, 21, 21));
    QVERIFY(dlg->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!dlg->parentWidget());
    QCOMPARE(dlg->windowTitle(), QString("Tarvo"));
    QCOMPARE(dlg->size(), QSize(570, 430));
    QVERIFY(Button(*dlg, IDC_SEND)->isDefault());
    QVERIFY(!dlg->GetDlgItem(IDC_HOTSPOT)->isVisible());

    // The list: two half-width columns, the selection as visible when inactive.
    QTreeView* list = ListOf(*dlg);
    QCOMPARE(list->model()->columnCount(), 2);
    QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QString("Name"));
    QCOMPARE(list->model()->headerData(1, Qt::Horizontal).toString(), QString("Address"));
    QCOMPARE(list->header()->sectionSize(0), list->viewport()->width() / 2);
    QCOMPARE(list->header()->sectionSize(1), list->viewport()->width() / 2);
    QCOMPARE(list->palette().color(QPalette::Inactive, QPalette::Highlight), list->palette().color(QPalette::Active, QPalette::Highlight));
  }

  void fieldLabelsAreRedUntilTheirFieldHasText() {
    auto dlg = ShowDialog();
    for (int id : {IDC_LABEL_CONTACTS, IDC_LABEL_TITLE, IDC_LABEL_SOURCE}) {
      QCOMPARE(Colour(*dlg, id), Drawn::Red);
      QVERIFY(!dlg->GetDlgItem(id)->autoFillBackground());
    }
    QLineEdit* edit = Edit(*dlg, IDC_TITLE);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_X);
    QCOMPARE(Colour(*dlg, IDC_LABEL_TITLE), Drawn::Gold);
    QCOMPARE(Colour(*dlg, IDC_LABEL_SOURCE), Drawn::Red);
    QCOMPARE(Colour(*dlg, IDC_LABEL_CONTACTS), Drawn::Red);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(Colour(*dlg, IDC_LABEL_TITLE), Drawn::Red);
  }

  // Delete is enabled exactly while rows are selected, removes them keeping
  // the others in order, and the contacts label follows the table.
  void deleteRemovesTheSelectedRows() {
    auto dlg = ShowDialog();
    const Contacts five = {{"0@x", "N0"}, {"1@x", "N1"}, {"2@x", "N2"}, {"3@x", "N3"}, {"4@x", "N4"}};
    Pick(*dlg, five);
    QCOMPARE(Colour(*dlg, IDC_LABEL_CONTACTS), Drawn::Gold);
    QVERIFY(!Button(*dlg, IDC_DELETE)->isEnabled());
    ClickRow(*dlg, 1);
    ClickRow(*dlg, 3, Qt::ControlModifier);
    QVERIFY(Button(*dlg, IDC_DELETE)->isEnabled());
    QTest::mouseClick(Button(*dlg, IDC_DELETE), Qt::LeftButton);
    const Contacts left = {five[0], five[2], five[4]};
    QCOMPARE(TableOf(*dlg), left);
    QCOMPARE(RowsOf(*dlg), left);
    QVERIFY(!Button(*dlg, IDC_DELETE)->isEnabled());
    ListOf(*dlg)->selectAll();
    QTest::mouseClick(Button(*dlg, IDC_DELETE), Qt::LeftButton);
    QCOMPARE(dlg->m_aSelected.GetSize(), 0);
    QCOMPARE(Colour(*dlg, IDC_LABEL_CONTACTS), Drawn::Red);
  }

  void confirmedPickerIsMergedAndClearsTheSelection() {
    auto dlg = ShowDialog();
    Pick(*dlg, {{"b@x", "B"}, {"a@x", "A"}});
    ClickRow(*dlg, 0);
    Pick(*dlg, {{"c@x", "C"}, {"a@x", "Other"}, {"d@x", "D"}, {"c@x", "C2"}});
    const Contacts expected = {{"b@x", "B"}, {"a@x", "A"}, {"c@x", "C"}, {"d@x", "D"}};
    QCOMPARE(TableOf(*dlg), expected);
    QCOMPARE(RowsOf(*dlg), expected);
    QVERIFY(!ListOf(*dlg)->selectionModel()->hasSelection());
    QVERIFY(!Button(*dlg, IDC_DELETE)->isEnabled());
  }

  void cancelledOrEmptyPickerLeavesTableAndListUnchanged_data() {
    QTest::addColumn<Contacts>("picked");
    QTest::addColumn<bool>("confirm");
    QTest::addRow("cancelled with contacts") << Contacts{{"new@x", "New"}} << false;
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
    if (!confirm) QVERIFY(Button(*dlg, IDC_DELETE)->isEnabled());  // the list was not touched
  }

  void pickerButtonsAskForTheirOwnPicker() {
    auto dlg = ShowDialog();
    std::vector<int> asked, expected;
    dlg->SetPickerFactory([&](int id) {
      asked.push_back(id);
      return AutoPicker({{std::to_string(id) + "@x", "P"}}, true);
    });
    for (int id : {IDC_ADD_OUTLOOK, IDC_ADD_OUTLOOK_FOLDER, IDC_ADD_WAB, IDC_ADD_TEXT_FILE}) {
      if (!Button(*dlg, id)->isEnabled()) continue;
      QTest::mouseClick(Button(*dlg, id), Qt::LeftButton);
      expected.push_back(id);
    }
    QCOMPARE(asked, expected);
    QCOMPARE(dlg->m_aSelected.GetSize(), int(expected.size()));

    g_ui = {};
    dlg->SetPickerFactory({});
    dlg->OnPickContacts(IDC_ADD_WAB);
    QCOMPARE(g_ui.messages, std::vector<std::string>{"Tarvo|" + std::to_string(MB_OK) +
                                                     "|This contact source is not available in this version of Tarvo."});
    QCOMPARE(dlg->m_aSelected.GetSize(), int(expected.size()));
  }

  void mnemonicClicksItsButton_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("button");
    QTest::addRow("Alt+T") << int(Qt::Key_T) << IDC_ADD_TEXT_FILE;
    QTest::addRow("Alt+D") << int(Qt::Key_D) << IDC_DELETE;
  }
  void mnemonicClicksItsButton() {
    QFETCH(int, key);
    QFETCH(int, button);
    auto dlg = ShowDialog();
    Pick(*dlg, {{"a@x", "A"}});
    ClickRow(*dlg, 0);  // so that "&Delete" is enabled
    dlg->SetPickerFactory([](int) { return AutoPicker({}, false); });
    QVERIFY(dlg->isActiveWindow());
    QSignalSpy clicked(Button(*dlg, button), &QPushButton::clicked);
    QTest::keyClick(dlg.get(), Qt::Key(key), Qt::AltModifier);
    QTRY_COMPARE(clicked.size(), 1);  // a mnemonic clicks after a short animation
  }

  void browsePutsTheChosenPathIntoTheSourceField() {
    auto dlg = ShowDialog();
    using Answer = std::optional<std::string>;
    for (const Answer& answer : {Answer(), Answer("/l/spring \xc3\xa9t\xc3\xa9.txt")}) {
      g_ui.fileAnswer = answer;
      QTest::mouseClick(Button(*dlg, IDC_BROWSE), Qt::LeftButton);
      QCOMPARE(Edit(*dlg, IDC_SOURCE)->text(), QString::fromUtf8(answer.value_or("").c_str()));
      QCOMPARE(Colour(*dlg, IDC_LABEL_SOURCE), answer ? Drawn::Gold : Drawn::Red);
    }
    QCOMPARE(g_ui.fileFilters, std::vector<std::string>(2, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"));
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
    for (const char* text : {"Tarvo 1.0", "Contact Information", "Email:", "Site:"}) QVERIFY(seen[0].texts.contains(text));
    QVERIFY(dlg->isVisible());
  }

  void contextMenuItemOneDoesNothing() {
    auto dlg = ShowDialog();
    Pick(*dlg, {{"a@x", "A"}, {"b@x", "B"}});
    ClickRow(*dlg, 0);
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
    for (const char* route : {"escape", "close", "title", "menu"}) QTest::addRow("%s", route) << route;
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
