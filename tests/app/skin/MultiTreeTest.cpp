// CMultiTree driven as a user drives it, with QTest mouse and key events on
// the offscreen platform, over F (expanded: a b c), G (collapsed: h) and K.
#include "skin/CMultiTree.h"

#include <QSignalSpy>
#include <QTest>
#include <QTreeWidgetItemIterator>

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
        {"a +G", "a b c G|G"},           // range in visible order, hidden h left out
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
  }

  void collapseDeselectsTheHiddenCaret() {
    Stage stage;
    stage.Clicks("b");
    const QRect f = stage.tree.visualItemRect(stage.Item("F"));
    QTest::mouseClick(stage.View(), Qt::LeftButton, {}, {f.left() - stage.tree.indentation() / 2, f.center().y()});
    QVERIFY(!stage.Item("F")->isExpanded());
    QCOMPARE(stage.Selection(), "|");
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
