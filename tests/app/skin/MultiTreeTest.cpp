// CMultiTree driven as a user drives it, with QTest mouse and key events on
// the offscreen platform, over F (expanded: a b c), G (collapsed: h) and K.
#include "skin/CMultiTree.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace {

struct Stage {
  CMultiTree tree;
  Stage() {
    auto* f = new QTreeWidgetItem(&tree, {"F"});  // items are owned by the tree
    for (const char* name : {"a", "b", "c"}) new QTreeWidgetItem(f, {name});
    new QTreeWidgetItem(new QTreeWidgetItem(&tree, {"G"}), {"h"});
    new QTreeWidgetItem(&tree, {"K"});
    f->setExpanded(true);
    tree.resize(200, 300);
    tree.show();
    if (!QTest::qWaitForWindowExposed(&tree)) QTest::qFail("tree not exposed", __FILE__, __LINE__);
  }
  QWidget* View() { return tree.viewport(); }
  QTreeWidgetItem* Item(const char* name) { return tree.findItems(name, Qt::MatchExactly | Qt::MatchRecursive)[0]; }
  QPoint Label(const char* name) {
    const QRect cell = tree.visualItemRect(Item(name));
    return {cell.left() + 4, cell.center().y()};
  }
  QPoint Empty() { return {30, View()->height() - 10}; }  // below the last row
  // Clicks on labels: "^a" with Ctrl, "+a" with Shift, "^+a" with both.
  void Clicks(const QString& script) {
    for (const QString& word : script.split(' ', Qt::SkipEmptyParts)) {
      Qt::KeyboardModifiers keys;
      if (word.contains('^')) keys |= Qt::ControlModifier;
      if (word.contains('+')) keys |= Qt::ShiftModifier;
      QTest::mouseClick(View(), Qt::LeftButton, keys, Label(word.right(1).toLatin1().constData()));
    }
  }
  // The selected items, hidden ones included, then "|" and the caret.
  QString Selection() {
    QStringList names;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
      if ((*it)->isSelected()) names << (*it)->text(0);
    QTreeWidgetItem* caret = tree.GetCaretItem();
    return names.join(' ') + '|' + (caret ? caret->text(0) : QString());
  }
  // A Ctrl band from below the rows up to the given row.
  void CtrlBandTo(const char* name) {
    QTest::mousePress(View(), Qt::LeftButton, Qt::ControlModifier, Empty());
    QTest::mouseMove(View(), Empty() - QPoint(0, 20));
    QTest::mouseMove(View(), Label(name));
  }
};

}  // namespace

class MultiTreeTest : public QObject {
  Q_OBJECT

private slots:
  void clicksSelectLikeAList() {
    const std::pair<const char*, const char*> cases[] = {
        {"a", "a|a"},
        {"a ^c", "a c|c"},
        {"a ^c ^a", "c|a"},              // Ctrl toggles off; the item keeps the caret
        {"a +K", "a b c G K|K"},         // visible order: the hidden h left out
        {"G ^a +c", "a b c|c"},          // Shift drops what is outside the range
        {"G ^a ^+c", "a b c G|c"},       // Ctrl+Shift adds the range
    };
    for (const auto& [script, expected] : cases) {
      Stage stage;
      stage.Clicks(script);
      QVERIFY2(stage.Selection() == expected, script);
    }
  }

  void pressOnSelectedItemKeepsTheOthersUntilRelease() {
    Stage stage;
    stage.Clicks("a ^c");
    QTest::mousePress(stage.View(), Qt::LeftButton, {}, stage.Label("a"));
    QCOMPARE(stage.Selection(), "a c|a");
    QTest::mouseRelease(stage.View(), Qt::LeftButton, {}, stage.Label("a"));
    QCOMPARE(stage.Selection(), "a|a");
  }

  void dragStartsBeyondTheDragDistanceUnlessDisabled() {
    for (const UINT style : {0u, CMultiTree::TVS_DISABLEDRAGDROP}) {
      Stage stage;
      stage.tree.SetTreeStyle(style);
      QSignalSpy drags(&stage.tree, &CMultiTree::beginDrag), clicks(&stage.tree, &CMultiTree::treeClicked);
      const QPoint press = stage.Label("b");
      QTest::mousePress(stage.View(), Qt::LeftButton, {}, press);
      QTest::mouseMove(stage.View(), press + QPoint(0, QApplication::startDragDistance()));
      QCOMPARE(drags.count(), 0);
      QTest::mouseMove(stage.View(), press + QPoint(0, QApplication::startDragDistance() + 1));
      QTest::mouseRelease(stage.View(), Qt::LeftButton, {}, press);
      QCOMPARE(drags.count(), style ? 0 : 1);
      if (!style) QCOMPARE(drags[0][1].toPoint(), press);
      QCOMPARE(clicks.count(), 0);
      QCOMPARE(stage.Selection(), "b|b");
    }
  }

  // Whatever the palette says: white on the selection colour, black elsewhere.
  void selectedTextIsWhiteAndOtherTextBlack() {
    Stage stage;
    QPalette palette = stage.tree.palette();
    palette.setColor(QPalette::Text, Qt::red);
    palette.setColor(QPalette::HighlightedText, Qt::red);
    stage.tree.setPalette(palette);
    stage.Clicks("a");
    const QImage picture = stage.View()->grab().toImage();
    // Glyphs are antialiased: look for a pixel near the colour.
    const auto has = [&](const char* name, auto near) {
      const QRect row = stage.tree.visualItemRect(stage.Item(name));
      for (int y = row.top(); y <= row.bottom(); ++y)
        for (int x = row.left(); x <= row.right(); ++x)
          if (near(QColor(picture.pixel(x, y)))) return true;
      return false;
    };
    const auto white = [](QColor c) { return std::min({c.red(), c.green(), c.blue()}) > 0xE0; };
    const auto black = [](QColor c) { return std::max({c.red(), c.green(), c.blue()}) < 0x40; };
    const auto red = [](QColor c) { return c.red() - std::max(c.green(), c.blue()) > 0x60; };
    QVERIFY(has("a", white) && !has("a", red));
    QVERIFY(has("b", black) && !has("b", red));
  }

  void vetoedDeselectionKeepsTheItemSelected() {
    Stage stage;
    stage.Clicks("a ^b");
    QObject::connect(&stage.tree, &CMultiTree::selChanging,
                     [](QTreeWidgetItem*, bool selecting, bool* veto) { *veto = !selecting; });
    stage.Clicks("^a");
    QCOMPARE(stage.Selection(), "a b|a");
  }

  void shiftDownExtendsAndPlainDownStartsAgain() {
    Stage stage;
    stage.Clicks("a");
    for (int i = 0; i < 3; ++i) QTest::keyClick(&stage.tree, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(stage.Selection(), "a b c G|G");
    QTest::keyClick(&stage.tree, Qt::Key_Down);
    QCOMPARE(stage.Selection(), "K|K");
    QTest::keyClick(&stage.tree, Qt::Key_Up, Qt::ControlModifier);  // the caret alone moves
    QCOMPARE(stage.Selection(), "K|G");
  }

  void collapseDeselectsWhatItHides() {
    Stage stage;
    stage.Clicks("b");
    const QRect f = stage.tree.visualItemRect(stage.Item("F"));
    QTest::mouseClick(stage.View(), Qt::LeftButton, {}, {f.left() - stage.tree.indentation() / 2, f.center().y()});
    QVERIFY(!stage.Item("F")->isExpanded());
    QCOMPARE(stage.Selection(), "|");
    stage.Item("F")->setExpanded(true);  // a selected folder takes the caret
    stage.Clicks("F ^b");
    QTest::mouseClick(stage.View(), Qt::LeftButton, {}, {f.left() - stage.tree.indentation() / 2, f.center().y()});
    QCOMPARE(stage.Selection(), "F|F");
  }

  void rubberBandTogglesWithCtrlAndEscapeClears() {
    Stage stage;
    stage.Clicks("G ^K");
    stage.CtrlBandTo("c");
    QCOMPARE(stage.Selection(), "c|K");
    QTest::mouseMove(stage.View(), stage.Empty());  // away again: first state back
    QCOMPARE(stage.Selection(), "G K|K");
    QTest::mouseRelease(stage.View(), Qt::LeftButton, Qt::ControlModifier, stage.Empty());

    stage.CtrlBandTo("c");
    QTest::keyClick(&stage.tree, Qt::Key_Escape);
    QCOMPARE(stage.Selection(), "|K");
  }

  void bandScrollsWhileThePointerIsBelow() {
    Stage stage;
    stage.tree.resize(200, 36);
    const QPoint press(100, stage.Label("F").y());  // right of the label
    QTest::mousePress(stage.View(), Qt::LeftButton, {}, press);
    QTest::mouseMove(stage.View(), press + QPoint(0, 20));
    QTest::mouseMove(stage.View(), {press.x(), stage.View()->height()});
    QTRY_VERIFY(stage.Item("K")->isSelected());
    QVERIFY(stage.tree.verticalScrollBar()->value() > 0);
    QTest::mouseRelease(stage.View(), Qt::LeftButton, {}, {press.x(), stage.View()->height()});
  }

  void clickOnEmptySpaceClearsAndNotifies() {
    Stage stage;
    stage.Clicks("a ^b");
    QSignalSpy clicks(&stage.tree, &CMultiTree::treeClicked);
    QTest::mouseClick(stage.View(), Qt::LeftButton, {}, stage.Empty());
    QCOMPARE(stage.Selection(), "|b");
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks[0][0].value<QTreeWidgetItem*>(), nullptr);
  }
};

QTEST_MAIN(MultiTreeTest)
#include "MultiTreeTest.moc"
