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
  QTreeWidgetItem* Item(const QString& name) { return tree.findItems(name, Qt::MatchExactly | Qt::MatchRecursive)[0]; }
  QPoint Label(const QString& name) {
    const QRect cell = tree.visualItemRect(Item(name));
    return {cell.left() + 4, cell.center().y()};
  }
  QPoint Empty() { return {30, View()->height() - 10}; }  // below the last row
  QPoint Expander(const QString& name) {
    const QRect cell = tree.visualItemRect(Item(name));
    return {cell.left() - tree.indentation() / 2, cell.center().y()};
  }
  // Clicks on labels ("^a" with Ctrl, "+a" with Shift, "^+a" with both, "_" below the rows) and the
  // arrow keys ("+Down", "^Up").
  void Do(const QString& script) {
    for (const QString& word : script.split(' ', Qt::SkipEmptyParts)) {
      Qt::KeyboardModifiers keys;
      if (word.contains('^')) keys |= Qt::ControlModifier;
      if (word.contains('+')) keys |= Qt::ShiftModifier;
      const QString target = QString(word).remove('^').remove('+');
      if (target == "Up" || target == "Down") QTest::keyClick(&tree, target == "Up" ? Qt::Key_Up : Qt::Key_Down, keys);
      else QTest::mouseClick(View(), Qt::LeftButton, keys, target == "_" ? Empty() : Label(target));
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
  void clicksAndKeysSelectLikeAList() {
    const std::pair<const char*, const char*> cases[] = {
        {"a", "a|a"},
        {"a ^c", "a c|c"},
        {"a ^c ^a", "c|a"},              // Ctrl toggles off; the item keeps the caret
        {"a +K", "a b c G K|K"},         // visible order: the hidden h left out
        {"G ^a +c", "a b c|c"},          // Shift drops what is outside the range
        {"G ^a ^+c", "a b c G|c"},       // Ctrl+Shift adds the range
        {"a +Down +Down +Down", "a b c G|G"},
        {"a +Down Down", "c|c"},         // a plain arrow starts again
        {"K ^Up", "K|G"},                // the caret alone moves
        {"a ^b _", "|b"},                // empty space clears
    };
    for (const auto& [script, expected] : cases) {
      Stage stage;
      stage.Do(script);
      QVERIFY2(stage.Selection() == expected, script);
    }
  }

  // A press on a selected item keeps the others until the release; a vetoed deselection keeps the
  // item; a click on empty space notifies without an item.
  void pressVetoAndEmptyClick() {
    Stage stage;
    stage.Do("a ^c");
    QTest::mousePress(stage.View(), Qt::LeftButton, {}, stage.Label("a"));
    QCOMPARE(stage.Selection(), "a c|a");
    QTest::mouseRelease(stage.View(), Qt::LeftButton, {}, stage.Label("a"));
    QCOMPARE(stage.Selection(), "a|a");
    stage.Do("^b");
    auto veto = QObject::connect(&stage.tree, &CMultiTree::selChanging,
                                 [](QTreeWidgetItem*, bool selecting, bool* veto) { *veto = !selecting; });
    stage.Do("^a");
    QCOMPARE(stage.Selection(), "a b|a");
    QObject::disconnect(veto);
    QSignalSpy clicks(&stage.tree, &CMultiTree::treeClicked);
    stage.Do("_");
    QVERIFY(clicks.count() == 1 && clicks[0][0].value<QTreeWidgetItem*>() == nullptr);
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
      QVERIFY(clicks.isEmpty() && stage.Selection() == "b|b");
    }
  }

  // Whatever the palette says: white on the selection colour, black elsewhere.
  void selectedTextIsWhiteAndOtherTextBlack() {
    Stage stage;
    QPalette palette = stage.tree.palette();
    palette.setColor(QPalette::Text, Qt::red);
    palette.setColor(QPalette::HighlightedText, Qt::red);
    stage.tree.setPalette(palette);
    stage.Do("a");
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

  void collapseDeselectsWhatItHides() {
    Stage stage;
    stage.Do("b");
    QTest::mouseClick(stage.View(), Qt::LeftButton, {}, stage.Expander("F"));
    QVERIFY(!stage.Item("F")->isExpanded());
    QCOMPARE(stage.Selection(), "|");
    stage.Item("F")->setExpanded(true);  // a selected folder takes the caret
    stage.Do("F ^b");
    QTest::mouseClick(stage.View(), Qt::LeftButton, {}, stage.Expander("F"));
    QCOMPARE(stage.Selection(), "F|F");
  }

  // A Ctrl band toggles what it covers and gives the first state back when it leaves; Escape clears.
  // Held below the rows, it scrolls.
  void rubberBand() {
    Stage stage;
    stage.Do("G ^K");
    stage.CtrlBandTo("c");
    QCOMPARE(stage.Selection(), "c|K");
    QTest::mouseMove(stage.View(), stage.Empty());
    QCOMPARE(stage.Selection(), "G K|K");
    QTest::mouseRelease(stage.View(), Qt::LeftButton, Qt::ControlModifier, stage.Empty());
    stage.CtrlBandTo("c");
    QTest::keyClick(&stage.tree, Qt::Key_Escape);
    QCOMPARE(stage.Selection(), "|K");

    Stage small;
    small.tree.resize(200, 36);
    const QPoint press(100, small.Label("F").y()), below(press.x(), small.View()->height());  // right of the label
    QTest::mousePress(small.View(), Qt::LeftButton, {}, press);
    QTest::mouseMove(small.View(), press + QPoint(0, 20));
    QTest::mouseMove(small.View(), below);
    QTRY_VERIFY(small.Item("K")->isSelected());
    QVERIFY(small.tree.verticalScrollBar()->value() > 0);
    QTest::mouseRelease(small.View(), Qt::LeftButton, {}, below);
  }
};

QTEST_MAIN(MultiTreeTest)
#include "MultiTreeTest.moc"
