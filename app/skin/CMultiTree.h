// CMultiTree: a tree in which the user selects any number of items with the
// mouse, the keyboard and a rubber band, the way a multi-selection list does.
// It owns no per-item data: an item's selection is the item's own selected
// state and the owner's data is the item's own Qt data.
//
// How the tree's notions map onto QTreeWidget:
// - An item handle is a QTreeWidgetItem*; "none" is nullptr.
// - The caret item is the tree's current item. It is kept apart from the
//   selection: the current index always moves with
//   QItemSelectionModel::NoUpdate, and Qt's own mouse, keyboard and
//   select-all handling never changes the selection. A caret move behaves
//   like a plain tree's: the old caret item loses its selected state and the
//   new one gains it, directly and without the selection signals.
// - "Selected" is the item's selected state (QTreeWidgetItem::isSelected,
//   backed by the selection model); every deliberate change of it goes
//   through SetItemState, which sends selChanging (the owner may veto) and
//   selChanged.
// - Visible items are the items not inside a collapsed branch (whether they
//   are scrolled into view does not matter); the visible order starts at the
//   first top-level item and descends into expanded items. Qt collapses
//   without moving a caret it hides; the control then moves it as a plain
//   tree does (see OnCollapsed).
// - Ctrl with a navigation key scrolls and keeps the caret, as in a plain
//   tree; Qt's select-all goes through SetItemState.
// - The click tracking and the rubber band are states carried between the
//   mouse, key and timer events while Qt routes the mouse to the pressed
//   viewport (its implicit grab). Losing that grab ends them: a popup or
//   another window taking the focus, or the button found up without its
//   release having been seen.
// - Selected items are drawn with white text on the selection colour, the
//   others with black text.
#pragma once

#include <zplatform/WinTypes.h>

#include <QBasicTimer>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QSet>
#include <QTreeWidget>

#include <memory>
#include <vector>

class QRubberBand;
class MultiTreeDelegate;

class CMultiTree : public QTreeWidget {
  Q_OBJECT

public:
  // Item state bits: being the caret item, being selected, being expanded.
  static constexpr UINT TVIS_FOCUSED = 0x0001;
  static constexpr UINT TVIS_SELECTED = 0x0002;
  static constexpr UINT TVIS_EXPANDED = 0x0020;

  // Style flags that change the control's behaviour. TVS_DISABLEDRAGDROP:
  // no beginDrag / beginRightDrag signals. TVS_CHECKBOXES: a left press on
  // an item's check box is left to Qt, which toggles it (the owner gives the
  // items their check state and Qt::ItemIsUserCheckable).
  static constexpr UINT TVS_DISABLEDRAGDROP = 0x0010;
  static constexpr UINT TVS_CHECKBOXES = 0x0100;

  // multi false leaves selection, mouse and keyboard to the plain
  // single-selection tree. Like a tree control, it shows no header.
  explicit CMultiTree(QWidget* parent = nullptr, UINT style = 0, bool multi = true);
  ~CMultiTree() override;

  UINT GetTreeStyle() const { return m_style; }
  void SetTreeStyle(UINT style) { m_style = style; }
  bool IsMulti() const { return m_bMulti; }

  // The item's state bits for the mask; TVIS_FOCUSED when the mask asks for
  // it and the item is the caret item.
  UINT GetItemState(QTreeWidgetItem* item, UINT mask) const;
  // The one place that changes selection (and, with TVIS_FOCUSED in state
  // and mask, moves the caret to the item). False when the caret cannot be
  // moved or the owner vetoed the selection change.
  bool SetItemState(QTreeWidgetItem* item, UINT state, UINT mask);

  // The first selected item in visible order, or nullptr.
  QTreeWidgetItem* GetFirstSelectedItem() const;
  // The next selected item after item in visible order, or nullptr.
  QTreeWidgetItem* GetNextSelectedItem(QTreeWidgetItem* item) const;

  // Changes every visible item (but except) whose selected state differs
  // from select, through SetItemState.
  void SelectAll(bool select = true);
  void SelectAllExcept(bool select, QTreeWidgetItem* except);
  // Selects the visible items from one of from/to to the other inclusive;
  // with only, deselects every other visible item.
  void SelectRange(QTreeWidgetItem* from, QTreeWidgetItem* to, bool only = true);
  // Sets each child of parent to select, descending into expanded children
  // when recurse is set. True when one of the visited children was the caret.
  bool SelectChildren(QTreeWidgetItem* parent, bool select = true, bool recurse = true);

  // The caret item (the current item), or nullptr.
  QTreeWidgetItem* GetCaretItem() const { return currentItem(); }
  // Moves the caret the way a plain tree does (nullptr: no caret); false
  // when item is not in this tree.
  bool SelectCaret(QTreeWidgetItem* item);
  // The anchor of Shift ranges, or nullptr.
  QTreeWidgetItem* GetAnchor() const;

  // The visible order: the first top-level item, then next-visible steps.
  QTreeWidgetItem* GetRootVisibleItem() const;
  QTreeWidgetItem* GetNextVisibleItem(QTreeWidgetItem* item) const;
  QTreeWidgetItem* GetPrevVisibleItem(QTreeWidgetItem* item) const;

  // Qt's select-all (Ctrl+A) goes through SetItemState as well.
  void selectAll() override;

signals:
  // Handlers of these signals must not remove items from the tree.
  //
  // Before SetItemState changes an item's selection: selecting tells which
  // way. A handler connected directly sets *veto to keep the item as it is.
  void selChanging(QTreeWidgetItem* item, bool selecting, bool* veto);
  // After that change.
  void selChanged(QTreeWidgetItem* item, bool selecting);
  // A left / right click on an item without a drag, or (item nullptr) the end
  // of every rubber band or click on empty space.
  void treeClicked(QTreeWidgetItem* item);
  void treeRightClicked(QTreeWidgetItem* item);
  // A drag with the left / right button started on item; pressPoint is the
  // press position in viewport coordinates.
  void beginDrag(QTreeWidgetItem* item, QPoint pressPoint);
  void beginRightDrag(QTreeWidgetItem* item, QPoint pressPoint);

protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event = nullptr) const override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  enum class Hit { Nowhere, Indent, Button, Icon, Label, StateIcon, Right };
  // Plain: a press left to Qt (an expand button, a live check box).
  enum class Mode { None, Plain, Tracking, Band };

  Hit HitTest(QPoint pos, QTreeWidgetItem** item) const;
  bool IsSelected(QTreeWidgetItem* item) const;
  void SetSelectedDirect(QTreeWidgetItem* item, bool selected);
  void ChangeSelection(QTreeWidgetItem* item, bool select);
  void ApplyBits(QTreeWidgetItem* item, UINT state, UINT mask);
  bool NotifySelChanging(QTreeWidgetItem* item, bool selecting);
  std::vector<QPersistentModelIndex> VisibleItems() const;
  QTreeWidgetItem* ItemOf(const QPersistentModelIndex& index) const;
  void SetAnchor(QTreeWidgetItem* item);
  void RepaintSelected();
  void OnCollapsed(const QModelIndex& index);

  void PressSelection(QTreeWidgetItem* item, Qt::MouseButton button, bool ctrl, bool shift);
  void FinishTracking(bool click);
  void CancelMouseMode();
  void LeaveToTree(QMouseEvent* event);
  void MoveCaretByKey(QKeyEvent* event);
  bool ScrollByKey(int key);

  void StartBand(QPoint pos);
  void UpdateBand(QPoint pos);
  void ApplyBand(const QRect& band);
  void FinishBand();
  bool GrabLost() const;

  UINT m_style = 0;
  bool m_bMulti = true;
  QPersistentModelIndex m_hAnchor;  // anchor of Shift ranges; gone with its item

  // The mouse state between press and release.
  Mode m_mode = Mode::None;
  Qt::MouseButton m_button = Qt::NoButton;
  bool m_bCtrl = false;
  bool m_bShift = false;
  QPoint m_ptPress;                    // viewport coordinates
  QPersistentModelIndex m_pressItem;  // the item of click tracking

  // The rubber band: press point in content coordinates, whether it has
  // started (moved beyond the drag distance), the items selected before it.
  QPoint m_ptBandOrigin;
  QPoint m_ptLast;  // the last pointer position seen, viewport coordinates
  bool m_bBandStarted = false;
  QSet<QPersistentModelIndex> m_initial;
  QBasicTimer m_bandTimer;
  std::unique_ptr<QRubberBand> m_band;

  MultiTreeDelegate* m_delegate = nullptr;  // a Qt child of this tree
  bool m_bQuietCaret = false;  // Qt moves the caret: leave selection alone
  unsigned m_caretMoves = 0;   // counts SelectCaret calls
};
