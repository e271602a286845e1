// The main dialog on the offscreen platform: layout, state labels, the recipient table through
// pickers and Delete, the About box, the menus and the keyboard; the skin: outline and region, the
// logo link, dragging by the body, and the rendered shape with the title buttons' faces.
#include "AppTestKit.h"
#include "CContactListModel.h"
#include "CContactPickerDlg.h"
#include "skin/SkinResources.h"
#include "skin/WindowOutline.h"
#include "skin/WindowShape.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTreeView>
#include <QVector3D>

#include <map>

using namespace tarvo;
using namespace apptest;

namespace {

enum class Drawn { Gold, Red, Other };

// The colour a label's text is painted in: the pixel farthest from the background (the commonest
// colour) lies in a glyph's core, and antialiasing only blends towards the background.
Drawn Colour(const CTarvoDlg& dlg, int id) {
  const QImage image = Item(dlg, id)->grab().toImage().convertToFormat(QImage::Format_RGB32);
  std::map<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
  const auto vector = [](QRgb c) { return QVector3D(qRed(c), qGreen(c), qBlue(c)); };
  const QVector3D background = vector(std::ranges::max_element(counts, {}, &std::pair<const QRgb, int>::second)->first);
  QVector3D core = background;
  for (const auto& [colour, count] : counts)
    if ((vector(colour) - background).length() > (core - background).length()) core = vector(colour);
  if ((core - QVector3D(251, 220, 112)).length() < 40) return Drawn::Gold;
  return (core - QVector3D(255, 0, 0)).length() < 40 ? Drawn::Red : Drawn::Other;
}

QTreeView* ListOf(const CTarvoDlg& dlg) { return Item<QTreeView>(dlg, IDC_CONTACT_LIST); }
bool DeleteEnabled(const CTarvoDlg& dlg) { return Item(dlg, IDC_DELETE)->isEnabled(); }

// The table, once the list is seen to show the same rows.
Contacts TableOf(const CTarvoDlg& dlg) {
  const QAbstractItemModel* model = ListOf(dlg)->model();
  Contacts rows;
  for (int row = 0; row < model->rowCount(); ++row)
    rows.emplace_back(model->index(row, CContactListModel::kAddressColumn).data().toString().toStdString(),
                      model->index(row, CContactListModel::kNameColumn).data().toString().toStdString());
  return rows == ContactsOf(dlg.m_aSelected) ? rows : Contacts{{"list differs from the table", ""}};
}

// A picker that ends by itself as soon as it runs.
std::unique_ptr<CContactPickerDlg> AutoPicker(const Contacts& contacts, bool confirm) {
  auto picker = std::make_unique<CContactPickerDlg>();
  picker->m_aContacts = ArrayOf(contacts);
  QTimer::singleShot(0, picker.get(), [raw = picker.get(), confirm] { confirm ? raw->accept() : raw->reject(); });
  return picker;
}

void Pick(CTarvoDlg& dlg, const Contacts& contacts, bool confirm = true) {
  dlg.SetPickerFactory([&](int) { return AutoPicker(contacts, confirm); });
  Click(dlg, IDC_ADD_TEXT_FILE);
  if (!QTest::qWaitForWindowActive(&dlg)) QTest::qFail("main dialog not active after the picker", __FILE__, __LINE__);
}

void ClickRow(CTarvoDlg& dlg, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTreeView* list = ListOf(dlg);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualRect(list->model()->index(row, 0)).center());
}

// Opens the window menu (Alt+Space) or the context menu.
QMenu* OpenMenu(CTarvoDlg& dlg, const char* name) {
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20), dlg.mapToGlobal(QPoint(20, 20)));
  if (name == std::string("systemMenu")) QTest::keyClick(&dlg, Qt::Key_Space, Qt::AltModifier);
  else QApplication::sendEvent(&dlg, &click);
  auto* menu = dlg.findChild<QMenu*>(name);
  if (!QTest::qWaitFor([menu] { return menu && menu->isVisible(); })) QTest::qFail(name, __FILE__, __LINE__);
  return menu;
}

}  // namespace

class TarvoDlgTest : public QObject {
  Q_OBJECT

  std::unique_ptr<testui::UiRecorder> m_ui;
  std::unique_ptr<CTarvoDlg> m_dlg;

private slots:
  void initTestCase() { RegisterStrings(); }
  void init() {
    m_ui = std::make_unique<testui::UiRecorder>();
    m_dlg = std::make_unique<CTarvoDlg>();
    m_dlg->move(100, 80);
    ShowActive(*m_dlg);
  }
  void cleanup() { m_dlg.reset(), m_ui.reset(); }

  // Dialog units in pixels; a title button takes its mask's size; two half-width columns, name
  // first; the selection shows when inactive.
  void windowAndListFollowTheTemplate() {
    QTreeView* list = ListOf(*m_dlg);
    QCOMPARE(list->geometry(), QRect(193, 94, 331, 169));
    QCOMPARE(Item(*m_dlg, IDC_BROWSE)->geometry(), QRect(489, 333, 18, 19));
    QCOMPARE(Item(*m_dlg, IDC_CLOSE_BUTTON)->geometry(), QRect(508, 32, 21, 21));
    QCOMPARE(m_dlg->windowTitle(), QString("Tarvo"));
    QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QString("Name"));
    QCOMPARE(QList({list->header()->sectionSize(0), list->header()->sectionSize(1)}),
             QList<int>(2, list->viewport()->width() / 2));
    QCOMPARE(list->palette().color(QPalette::Inactive, QPalette::Highlight),
             list->palette().color(QPalette::Active, QPalette::Highlight));
  }

  // Browse fills the source field with the chosen path and leaves it when cancelled.
  void fieldLabelsAreRedUntilTheirFieldHasText() {
    for (int id : {IDC_LABEL_CONTACTS, IDC_LABEL_TITLE, IDC_LABEL_SOURCE}) QCOMPARE(Colour(*m_dlg, id), Drawn::Red);
    QLineEdit* edit = Item<QLineEdit>(*m_dlg, IDC_TITLE);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_X);
    QCOMPARE(Colour(*m_dlg, IDC_LABEL_TITLE), Drawn::Gold);
    QCOMPARE(Colour(*m_dlg, IDC_LABEL_SOURCE), Drawn::Red);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(Colour(*m_dlg, IDC_LABEL_TITLE), Drawn::Red);
    for (const auto& answer : {std::optional<std::string>(), std::optional<std::string>("/l/\xc3\xa9t\xc3\xa9.txt")}) {
      m_ui->fileAnswer = answer;
      Click(*m_dlg, IDC_BROWSE);
      QCOMPARE(Item<QLineEdit>(*m_dlg, IDC_SOURCE)->text(), QString::fromUtf8(answer.value_or("").c_str()));
      QCOMPARE(Colour(*m_dlg, IDC_LABEL_SOURCE), answer ? Drawn::Gold : Drawn::Red);
    }
    QCOMPARE(m_ui->fileFilters, std::vector<std::string>(2, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"));
  }

  // A confirmed picker appends its new addresses (the first name stays) and clears the selection;
  // Delete is enabled exactly while rows are selected and keeps the others in order.
  void pickersAndDeleteKeepTheTableAndListAlike() {
    Pick(*m_dlg, {{"b@x", "B"}, {"a@x", "A"}});
    QCOMPARE(Colour(*m_dlg, IDC_LABEL_CONTACTS), Drawn::Gold);
    Pick(*m_dlg, {}, true);
    ClickRow(*m_dlg, 1);
    Pick(*m_dlg, {{"new@x", "New"}}, false);
    QCOMPARE(TableOf(*m_dlg), (Contacts{{"b@x", "B"}, {"a@x", "A"}}));
    QVERIFY(DeleteEnabled(*m_dlg));  // the list was not touched
    Pick(*m_dlg, {{"c@x", "C"}, {"a@x", "Other"}, {"d@x", "D"}, {"c@x", "C2"}, {"e@x", "E"}});
    QCOMPARE(TableOf(*m_dlg), (Contacts{{"b@x", "B"}, {"a@x", "A"}, {"c@x", "C"}, {"d@x", "D"}, {"e@x", "E"}}));
    QVERIFY(!ListOf(*m_dlg)->selectionModel()->hasSelection() && !DeleteEnabled(*m_dlg));
    ClickRow(*m_dlg, 1);
    ClickRow(*m_dlg, 3, Qt::ControlModifier);
    Click(*m_dlg, IDC_DELETE);
    QCOMPARE(TableOf(*m_dlg), (Contacts{{"b@x", "B"}, {"c@x", "C"}, {"e@x", "E"}}));
    QVERIFY(!DeleteEnabled(*m_dlg));
    ListOf(*m_dlg)->selectAll();
    Click(*m_dlg, IDC_DELETE);
    QCOMPARE(m_dlg->m_aSelected.GetSize(), 0);
    QCOMPARE(Colour(*m_dlg, IDC_LABEL_CONTACTS), Drawn::Red);
    QVERIFY(m_ui->messages.empty());
  }

  void pickerButtonsAskForTheirOwnPicker() {
    std::vector<int> asked, expected;
    m_dlg->SetPickerFactory([&](int id) { return asked.push_back(id), AutoPicker({{std::to_string(id) + "@x", ""}}, true); });
    for (int id : {IDC_ADD_OUTLOOK, IDC_ADD_OUTLOOK_FOLDER, IDC_ADD_WAB, IDC_ADD_TEXT_FILE})
      if (Item(*m_dlg, id)->isEnabled()) Click(*m_dlg, id), expected.push_back(id);
    QCOMPARE(asked, expected);
    m_dlg->SetPickerFactory({});
    m_dlg->OnPickContacts(IDC_DELETE);  // every picker button has its source: an id without one
    QCOMPARE(m_dlg->m_aSelected.GetSize(), int(expected.size()));
    QCOMPARE(m_ui->texts(), std::vector<std::string>{"This contact source is not available in this version of Tarvo."});
  }

  // Enter presses Send whatever has the focus at start; after a picker a mnemonic still works.
  void keyboardReachesTheDialog() {
    QSignalSpy sent(Item<QPushButton>(*m_dlg, IDC_SEND), &QPushButton::clicked);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_dlg.get(), Qt::Key_Return);
    QCOMPARE(sent.size(), 1);
    Pick(*m_dlg, {{"a@x", "A"}});
    ClickRow(*m_dlg, 0);  // so that "&Delete" is enabled
    m_dlg->SetPickerFactory([](int) { return AutoPicker({}, false); });
    for (auto [key, button] : {std::pair{Qt::Key_T, IDC_ADD_TEXT_FILE}, std::pair{Qt::Key_D, IDC_DELETE}}) {
      QSignalSpy clicked(Item<QPushButton>(*m_dlg, button), &QPushButton::clicked);
      QTest::keyClick(m_dlg.get(), key, Qt::AltModifier);
      QTRY_COMPARE(clicked.size(), 1);  // a mnemonic clicks after a short animation
      QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
    }
  }

  // The About box opens from the window menu and the help button; the context menu's "1" does nothing.
  void aboutBoxAndContextMenu() {
    for (bool fromMenu : {true, false}) {
      const std::vector<QStringList> seen = ModalsOpenedBy([&] {
        if (!fromMenu) return Click(*m_dlg, IDC_HELP_BUTTON);
        QMenu* menu = OpenMenu(*m_dlg, "systemMenu");
        const QList<QAction*> actions = menu->actions();
        QVERIFY(actions.size() >= 2 && actions[actions.size() - 2]->isSeparator());
        QCOMPARE(actions.last()->text(), QString("&About Tarvo..."));
        QTest::keyClick(menu, Qt::Key_A);  // its mnemonic
      });
      QCOMPARE(seen.size(), std::size_t{1});
      QCOMPARE(seen[0].mid(0, 2), QStringList({"CAboutDlg", "About Tarvo"}));
      for (const char* text : {"Tarvo 1.0", "Contact Information", "Email:", "Site:"}) QVERIFY(seen[0].contains(text));
    }
    Pick(*m_dlg, {{"a@x", "A"}});
    ClickRow(*m_dlg, 0);
    const std::vector<QStringList> seen = ModalsOpenedBy([&] {
      QMenu* menu = OpenMenu(*m_dlg, "contextMenu");
      QVERIFY(menu->actions().size() == 1 && menu->actions()[0]->text() == "1");
      QTest::keyClick(menu, Qt::Key_Down);
      QTest::keyClick(menu, Qt::Key_Return);
      QTRY_VERIFY(!menu->isVisible());
    });
    QVERIFY(seen.empty() && m_ui->messages.empty() && m_dlg->isVisible() && DeleteEnabled(*m_dlg));
    QCOMPARE(TableOf(*m_dlg), (Contacts{{"a@x", "A"}}));
  }

  void dialogEndsCancelledByEveryCloseRoute() {
    for (const std::string route : {"escape", "close", "title", "menu"}) {
      cleanup(), init();
      m_dlg->setResult(-1);
      if (route == "escape") QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
      if (route == "close" || route == "title") Click(*m_dlg, route == "close" ? IDC_CLOSE : IDC_CLOSE_BUTTON);
      if (route == "menu") QTest::keyClick(OpenMenu(*m_dlg, "systemMenu"), Qt::Key_C);
      QTRY_VERIFY2(!m_dlg->isVisible() && m_dlg->result() == QDialog::Rejected, route.c_str());
    }
  }

  // Clockwise from the upper-left arc in steps of one pixel; the region holds every control but not the corners.
  void outlineIsAClosedPixelTraceThatHoldsEveryControl() {
    auto vertex = [](std::size_t i) { return QPoint(WindowOutline[i], WindowOutline[kWindowOutlineVertices + i]); };
    QRect bounds(vertex(0), QSize(1, 1));
    long long twiceArea = 0;
    for (std::size_t i = 0; i < kWindowOutlineVertices; ++i) {
      const QPoint a = vertex(i), b = vertex((i + 1) % kWindowOutlineVertices);
      QVERIFY2(std::abs((b - a).x()) <= 1 && std::abs((b - a).y()) <= 1 && a != b, qPrintable(QString::number(i)));
      bounds |= QRect(a, QSize(1, 1));
      twiceArea += qint64(a.x()) * b.y() - qint64(b.x()) * a.y();
    }
    QCOMPARE(bounds, QRect(QPoint(13, 10), QPoint(551, 411)));
    QVERIFY(twiceArea > 0);  // clockwise with y growing downwards
    QVERIFY(QRect(14, 11, 59, 59).contains(vertex(0)));  // on the upper-left arc
    const QRegion shape = WindowOutlineRegion();
    QCOMPARE(shape, QRegion(WindowOutlinePolygon(), Qt::WindingFill));
    QCOMPARE(m_dlg->mask(), shape);
    for (QWidget* child : m_dlg->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (child->objectName() == "background" || child->isWindow()) continue;
      QVERIFY2((shape & QRegion(child->geometry())) == QRegion(child->geometry()), qPrintable(child->objectName()));
    }
    for (QPoint corner : {QPoint(13, 10), QPoint(550, 10), QPoint(13, 410), QPoint(550, 410)}) QVERIFY(!shape.contains(corner));
  }

  // A click on the logo opens the web site and starts no drag; the body drags the window.
  void logoIsALinkAndTheBodyDragsTheWindow() {
    const QRect logo = Item(*m_dlg, IDC_HOTSPOT)->geometry();
    const QPoint start = m_dlg->pos();
    QTest::mouseMove(m_dlg.get(), logo.bottomRight() + QPoint(3, 3));
    QCOMPARE(m_dlg->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(m_dlg.get(), logo.topLeft() + QPoint(2, 2));
    QCOMPARE(m_dlg->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(m_dlg->cursor().hotSpot(), QPoint(12, 4));
    QTest::mousePress(m_dlg.get(), Qt::LeftButton, {}, logo.center());
    QTest::mouseMove(m_dlg.get(), logo.center() + QPoint(20, 15));
    QTest::mouseRelease(m_dlg.get(), Qt::LeftButton, {}, logo.center() + QPoint(20, 15));
    QCOMPARE(m_ui->opened, std::vector<std::string>{"http://www.tarvo.example"});
    QCOMPARE(m_dlg->pos(), start);

    const QPoint body(300, 30);  // the title, on the background picture
    QTest::mousePress(m_dlg.get(), Qt::LeftButton, {}, body);
    QCOMPARE(QWidget::mouseGrabber(), m_dlg.get());
    QTest::mouseMove(m_dlg.get(), body + QPoint(40, 25));
    QTRY_COMPARE(m_dlg->pos(), start + QPoint(40, 25));
    QTest::mouseMove(m_dlg.get(), body + QPoint(-15, 5));
    QTRY_COMPARE(m_dlg->pos(), start + QPoint(25, 30));
    QTest::mouseRelease(m_dlg.get(), Qt::LeftButton, {}, body + QPoint(-15, 5));
    QVERIFY(!QWidget::mouseGrabber());
    QCOMPARE(m_ui->opened.size(), std::size_t{1});
  }

  // With a few recipients, as the docs show it: TARVO_SCREENSHOT=FILE.png writes the picture there.
  void renderedWindowIsClearOutsideItsOutlineAndShowsTheBackgroundInButtonCorners() {
    for (const char* name : {"Ann Berg", "Chen Li", "Dora Ekblad", "Emil Fors", "Greta Holm", "Ivo Jansen"})
      m_dlg->m_aSelected.Add(CContact(QString(name).toLower().replace(' ', '.').toStdString() + "@example.org", name));
    m_dlg->RefreshContactList();
    Item<QLineEdit>(*m_dlg, IDC_TITLE)->setText("Spring lantern walk");
    ListOf(*m_dlg)->selectionModel()->select(ListOf(*m_dlg)->model()->index(2, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QImage picture(m_dlg->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    // Rendered rather than grabbed: render() leaves what lies outside the shape transparent, and puts
    // the top-left of the shaped part at the offset given.
    m_dlg->render(&picture, m_dlg->mask().boundingRect().topLeft());
    if (qEnvironmentVariableIsSet("TARVO_SCREENSHOT")) QVERIFY(picture.save(qEnvironmentVariable("TARVO_SCREENSHOT")));
    const QRegion shape = WindowOutlineRegion();
    int outside = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const int alpha = qAlpha(picture.pixel(x, y)), expected = shape.contains(QPoint(x, y)) ? 255 : 0;
        if (alpha != expected) QFAIL(qPrintable(QStringLiteral("alpha %1 at (%2, %3)").arg(alpha).arg(x).arg(y)));
        outside += !expected;
      }
    QVERIFY(outside > 20000);
    const QImage background = LoadSkinBitmap(IDB_BACKGROUND);
    const QPoint origin(3, 3);  // of the background picture
    QCOMPARE(background.size(), QSize(557, 411));
    QCOMPARE(picture.pixel(100, 395), background.pixel(QPoint(100, 395) - origin));
    for (auto [id, face] : {std::pair{IDC_HELP_BUTTON, IDB_HELP_NORMAL}, std::pair{IDC_CLOSE_BUTTON, IDB_CLOSE_NORMAL}}) {
      const QPoint at = Item(*m_dlg, id)->pos();
      for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 20), QPoint(20, 20)})
        QCOMPARE(picture.pixel(at + corner), background.pixel(at + corner - origin));
      for (QPoint inside : {QPoint(1, 0), QPoint(10, 10)}) QCOMPARE(picture.pixel(at + inside), LoadSkinBitmap(face).pixel(inside));
    }
  }
};

QTEST_MAIN(TarvoDlgTest)
#include "TarvoDlgTest.moc"
