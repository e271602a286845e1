// CMultiTree: selection of any number of items by mouse, keyboard and
// rubber band over a QTreeWidget.
#include "skin/CMultiTree.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimerEvent>

#include <algorithm>
#include <cstdlib>
#include <utility>

// Draws selected items with white text and the others with black, on the
// style's selection colour; it also lays an item out for hit-testing.
class MultiTreeDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void Describe(QStyleOptionViewItem* option, const QModelIndex& index) const { initStyleOption(option, index); }

protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->palette.setColor(QPalette::HighlightedText, Qt::white);
    option->palette.setColor(QPalette::Text, Qt::black);
  }
};

namespace {

constexpr UINT kCaretAndSelected = CMultiTree::TVIS_FOCUSED | CMultiTree::TVIS_SELECTED;
constexpr int kBandTimerMs = 75;  // autoscroll step while the pointer is outside

bool BeyondDragDistance(QPoint moved) {
  const int distance = QApplication::startDragDistance();
  return std::abs(moved.x()) > distance || std::abs(moved.y()) > distance;
}

}  // namespace

CMultiTree::CMultiTree(QWidget* parent, UINT style, bool multi)
    : QTreeWidget(parent), m_style(style), m_bMulti(multi), m_delegate(new MultiTreeDelegate(this)) {
  setItemDelegate(m_delegate);
  setHeaderHidden(true);
  setSelectionMode(multi ? MultiSelection : SingleSelection);
  connect(this, &QTreeView::collapsed, this, &CMultiTree::OnCollapsed);
}

CMultiTree::~CMultiTree() = default;

// ---- visible order -------------------------------------------------------

QTreeWidgetItem* CMultiTree::GetRootVisibleItem() const { return topLevelItem(0); }

// Siblings are found through the model, whose rows are kept at hand,
// rather than by searching the parent's children at every step.
QTreeWidgetItem* CMultiTree::GetNextVisibleItem(QTreeWidgetItem* item) const {
  if (!item || item->treeWidget() != this) return nullptr;
  if (item->isExpanded() && item->childCount() > 0) return item->child(0);
  for (QModelIndex at = indexFromItem(item); at.isValid(); at = at.parent()) {
    const QModelIndex next = at.siblingAtRow(at.row() + 1);
    if (next.isValid()) return itemFromIndex(next);
  }
  return nullptr;
}

QTreeWidgetItem* CMultiTree::GetPrevVisibleItem(QTreeWidgetItem* item) const {
  if (!item || item->treeWidget() != this) return nullptr;
  const QModelIndex index = indexFromItem(item);
  if (index.row() <= 0) return item->parent();
  QTreeWidgetItem* at = itemFromIndex(index.siblingAtRow(index.row() - 1));
  while (at->isExpanded() && at->childCount() > 0) at = at->child(at->childCount() - 1);
  return at;
}

// Persistent indexes, so that items the owner removes in a signal handler
// are skipped rather than touched.
std::vector<QPersistentModelIndex> CMultiTree::VisibleItems() const {
  std::vector<QPersistentModelIndex> items;
  for (QTreeWidgetItem* item = GetRootVisibleItem(); item; item = GetNextVisibleItem(item))
    items.emplace_back(indexFromItem(item));
  return items;
}

QTreeWidgetItem* CMultiTree::ItemOf(const QPersistentModelIndex& index) const {
  return index.isValid() ? itemFromIndex(index) : nullptr;
}

QTreeWidgetItem* CMultiTree::GetAnchor() const { return ItemOf(m_hAnchor); }

void CMultiTree::SetAnchor(QTreeWidgetItem* item) {
  m_hAnchor = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
}

// ---- item state ----------------------------------------------------------

bool CMultiTree::IsSelected(QTreeWidgetItem* item) const { return item && item->isSelected(); }

void CMultiTree::SetSelectedDirect(QTreeWidgetItem* item, bool selected) {
  if (item) item->setSelected(selected);
}

void CMultiTree::ApplyBits(QTreeWidgetItem* item, UINT state, UINT mask) {
  if (mask & TVIS_SELECTED) SetSelectedDirect(item, (state & TVIS_SELECTED) != 0);
  if (mask & TVIS_EXPANDED) item->setExpanded((state & TVIS_EXPANDED) != 0);
}

UINT CMultiTree::GetItemState(QTreeWidgetItem* item, UINT mask) const {
  if (!item) return 0;
  UINT state = 0;
  if (IsSelected(item)) state |= TVIS_SELECTED;
  if (item->isExpanded()) state |= TVIS_EXPANDED;
  state &= mask & ~TVIS_FOCUSED;
  if ((mask & TVIS_FOCUSED) && item == currentItem()) state |= TVIS_FOCUSED;
  return state;
}

bool CMultiTree::SelectCaret(QTreeWidgetItem* item) {
  if (item && item->treeWidget() != this) return false;
  ++m_caretMoves;
  const bool quiet = std::exchange(m_bQuietCaret, false);
  const QModelIndex index = item ? indexFromItem(item) : QModelIndex();
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  m_bQuietCaret = quiet;
  if (item) scrollTo(index);
  return true;
}

// The plain tree's caret move: the old caret item is deselected and the new
// one selected, without the selection signals.
void CMultiTree::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeWidget::currentChanged(current, previous);
  if (!m_bMulti || m_bQuietCaret) return;
  if (current.siblingAtColumn(0) == previous.siblingAtColumn(0)) return;
  if (previous.isValid()) SetSelectedDirect(itemFromIndex(previous), false);
  if (current.isValid()) SetSelectedDirect(itemFromIndex(current), true);
}

QItemSelectionModel::SelectionFlags CMultiTree::selectionCommand(const QModelIndex& index,
                                                                 const QEvent* event) const {
  if (!m_bMulti) return QTreeWidget::selectionCommand(index, event);
  return QItemSelectionModel::NoUpdate;
}

bool CMultiTree::NotifySelChanging(QTreeWidgetItem* item, bool selecting) {
  bool veto = false;
  emit selChanging(item, selecting, &veto);
  return !veto;
}

bool CMultiTree::SetItemState(QTreeWidgetItem* item, UINT state, UINT mask) {
  if (!item || item->treeWidget() != this) return false;
  if (!m_bMulti) {
    if (mask & state & TVIS_FOCUSED) setCurrentItem(item);
    ApplyBits(item, state, mask);
    return true;
  }
  QTreeWidgetItem* caret = currentItem();
  const bool wasCaret = item == caret;
  const bool caretSelected = IsSelected(caret);
  const bool wasSelected = IsSelected(item);
  const bool toCaret = (mask & state & TVIS_FOCUSED) != 0;
  state &= ~TVIS_FOCUSED;
  mask &= ~TVIS_FOCUSED;

  if (toCaret) {
    if (!wasCaret && caretSelected) {
      // Moving the caret would deselect the old caret item: it stays selected.
      SelectCaret(nullptr);
      SetSelectedDirect(caret, true);
      viewport()->update(visualItemRect(caret));
    }
    if (!SelectCaret(item)) return false;  // becoming the caret selects the item
    if (mask & TVIS_SELECTED) {
      if ((state & TVIS_SELECTED) && (!wasCaret || caretSelected)) mask &= ~TVIS_SELECTED;
    } else if (!wasSelected) {
      // A caret move alone leaves the item's selection as it was.
      mask |= TVIS_SELECTED;
      state &= ~TVIS_SELECTED;
    }
  }
  if (mask == 0) return true;

  if (mask & TVIS_SELECTED) {
    const bool selecting = (state & TVIS_SELECTED) != 0;
    if (!NotifySelChanging(item, selecting)) return false;
    ApplyBits(item, state, mask);
    emit selChanged(item, selecting);
    mask &= ~TVIS_SELECTED;
  }
  if (mask != 0) ApplyBits(item, state, mask);
  return true;
}

void CMultiTree::ChangeSelection(QTreeWidgetItem* item, bool select) {
  if (item && IsSelected(item) != select) SetItemState(item, select ? TVIS_SELECTED : 0, TVIS_SELECTED);
}

// ---- selection over many items -------------------------------------------

QTreeWidgetItem* CMultiTree::GetFirstSelectedItem() const {
  QTreeWidgetItem* item = GetRootVisibleItem();
  return IsSelected(item) ? item : GetNextSelectedItem(item);
}

QTreeWidgetItem* CMultiTree::GetNextSelectedItem(QTreeWidgetItem* item) const {
  for (item = GetNextVisibleItem(item); item; item = GetNextVisibleItem(item))
    if (IsSelected(item)) return item;
  return nullptr;
}

void CMultiTree::SelectAll(bool select) { SelectAllExcept(select, nullptr); }

void CMultiTree::SelectAllExcept(bool select, QTreeWidgetItem* except) {
  for (const QPersistentModelIndex& index : VisibleItems()) {
    QTreeWidgetItem* item = ItemOf(index);
    if (item != except) ChangeSelection(item, select);
  }
}

void CMultiTree::selectAll() {
  if (m_bMulti)
    SelectAll(true);
  else
    QTreeWidget::selectAll();
}

void CMultiTree::SelectRange(QTreeWidgetItem* from, QTreeWidgetItem* to, bool only) {
  if (!from) from = to;
  if (!to) to = from;
  if (!from) return;
  enum class Where { Before, Inside, After } where = Where::Before;
  QTreeWidgetItem* last = nullptr;  // the second of the two to be met
  for (const QPersistentModelIndex& index : VisibleItems()) {
    QTreeWidgetItem* item = ItemOf(index);
    if (!item) continue;
    if (where == Where::Before && (item == from || item == to)) {
      last = item == from ? to : from;
      where = Where::Inside;
    }
    if (where == Where::Inside) {
      ChangeSelection(item, true);
      if (item == last) where = Where::After;
    } else if (only) {
      ChangeSelection(item, false);
    }
  }
}

bool CMultiTree::SelectChildren(QTreeWidgetItem* parent, bool select, bool recurse) {
  if (!parent) return false;
  std::vector<QPersistentModelIndex> children;
  for (int i = 0; i < parent->childCount(); ++i) children.emplace_back(indexFromItem(parent->child(i)));
  bool caretSeen = false;
  for (const QPersistentModelIndex& index : children) {
    QTreeWidgetItem* child = ItemOf(index);
    if (!child) continue;
    caretSeen = caretSeen || child == currentItem();
    ChangeSelection(child, select);
    if (recurse && child->isExpanded()) caretSeen = SelectChildren(child, select, true) || caretSeen;
  }
  return caretSeen;
}

// Only visible items are selected: a collapse deselects what it hides. Qt
// reports the collapse after the fact; the children are still there. A
// hidden caret goes, as in a plain tree, to the collapsed item when that is
// selected, and otherwise nowhere, so that no item is selected by it.
void CMultiTree::OnCollapsed(const QModelIndex& index) {
  QTreeWidgetItem* item = itemFromIndex(index);
  if (!m_bMulti || !item) return;
  const bool selected = IsSelected(item);
  if (SelectChildren(item, false, true)) SelectCaret(selected ? item : nullptr);
}

// ---- mouse ---------------------------------------------------------------

CMultiTree::Hit CMultiTree::HitTest(QPoint pos, QTreeWidgetItem** item) const {
  *item = nullptr;
  const QModelIndex index = indexAt(pos).siblingAtColumn(0);
  if (!index.isValid()) return Hit::Nowhere;
  *item = itemFromIndex(index);
  const QRect cell = visualRect(index);  // without the indentation
  if (pos.x() < cell.left()) {
    const bool hasButton = (*item)->childCount() > 0 ||
                           (*item)->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
    const bool decorated = rootIsDecorated() || (*item)->parent();
    return hasButton && decorated && pos.x() >= cell.left() - indentation() ? Hit::Button : Hit::Indent;
  }
  if (pos.x() > cell.right()) return Hit::Right;
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = cell;
  m_delegate->Describe(&option, index);
  const QStyle* look = style();
  if ((option.features & QStyleOptionViewItem::HasCheckIndicator) &&
      look->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this).contains(pos))
    return Hit::StateIcon;
  if ((option.features & QStyleOptionViewItem::HasDecoration) &&
      look->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this).contains(pos))
    return Hit::Icon;
  // The text element spans the rest of the cell; the label is the text itself.
  QRect label = look->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
  const int margin = look->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  label.setWidth(std::min(label.width(), option.fontMetrics.horizontalAdvance(option.text) + 2 * margin));
  return label.contains(pos) ? Hit::Label : Hit::Right;
}

// Qt routes the mouse to the pressed widget until the button is released;
// a button no longer held means that the release went elsewhere.
bool CMultiTree::GrabLost() const { return !(QApplication::mouseButtons() & m_button); }

// Hands a mouse event to the plain tree (expand buttons, check boxes)
// without letting it move the caret.
void CMultiTree::LeaveToTree(QMouseEvent* event) {
  const QPersistentModelIndex caret = currentIndex();
  const unsigned moves = m_caretMoves;
  m_bQuietCaret = true;
  switch (event->type()) {
    case QEvent::MouseButtonPress: QTreeWidget::mousePressEvent(event); break;
    case QEvent::MouseButtonRelease: QTreeWidget::mouseReleaseEvent(event); break;
    case QEvent::MouseMove: QTreeWidget::mouseMoveEvent(event); break;
    default: break;
  }
  if (moves == m_caretMoves && currentIndex() != caret)
    selectionModel()->setCurrentIndex(caret, QItemSelectionModel::NoUpdate);
  m_bQuietCaret = false;
}

void CMultiTree::PressSelection(QTreeWidgetItem* item, Qt::MouseButton button, bool ctrl, bool shift) {
  if (button == Qt::LeftButton) {
    if (!shift) {
      if (!ctrl) {
        // An already selected item keeps the others until the release.
        if (!IsSelected(item)) SelectAllExcept(false, item);
        SetItemState(item, kCaretAndSelected, kCaretAndSelected);
      }
      SetAnchor(nullptr);
      return;
    }
    if (!GetAnchor()) SetAnchor(currentItem());
    SelectRange(GetAnchor(), item, !ctrl);
    SetItemState(item, TVIS_FOCUSED, TVIS_FOCUSED);
    return;
  }
  if (shift) return;
  if (ctrl) {
    SetAnchor(item);
    return;
  }
  if (!IsSelected(item)) SelectAllExcept(false, item);
  SetItemState(item, kCaretAndSelected, kCaretAndSelected);
}

void CMultiTree::mousePressEvent(QMouseEvent* event) {
  const Qt::MouseButton button = event->button();
  if (!m_bMulti) {
    QTreeWidget::mousePressEvent(event);
    return;
  }
  if (button != Qt::LeftButton && button != Qt::RightButton) return;
  if (m_mode != Mode::None) {
    if (event->buttons() & m_button) return;  // a second button while one is held
    CancelMouseMode();                         // the release was never seen
  }
  const QPoint pos = event->position().toPoint();
  QTreeWidgetItem* item = nullptr;
  const Hit hit = HitTest(pos, &item);
  m_button = button;
  if (hit == Hit::Button ||
      (hit == Hit::StateIcon && button == Qt::LeftButton && (m_style & TVS_CHECKBOXES))) {
    m_mode = Mode::Plain;
    LeaveToTree(event);
    return;
  }
  m_bCtrl = (event->modifiers() & Qt::ControlModifier) != 0;
  m_bShift = (event->modifiers() & Qt::ShiftModifier) != 0;
  m_ptPress = pos;
  if (hit == Hit::Icon || hit == Hit::Label || hit == Hit::StateIcon) {
    PressSelection(item, button, m_bCtrl, m_bShift);
    m_pressItem = QPersistentModelIndex(indexFromItem(item));
    m_mode = Mode::Tracking;
    return;
  }
  StartBand(pos);
}

void CMultiTree::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  switch (m_mode) {
    case Mode::Plain: LeaveToTree(event); return;
    case Mode::Tracking: {
      if (GrabLost()) {
        FinishTracking(false);
        return;
      }
      if (!BeyondDragDistance(pos - m_ptPress)) return;
      QTreeWidgetItem* item = ItemOf(m_pressItem);
      FinishTracking(false);
      if (!item) return;
      SetItemState(item, kCaretAndSelected, kCaretAndSelected);
      if (m_style & TVS_DISABLEDRAGDROP) return;
      if (m_button == Qt::LeftButton)
        emit beginDrag(item, m_ptPress);
      else
        emit beginRightDrag(item, m_ptPress);
      return;
    }
    case Mode::Band:
      m_ptLast = pos;
      if (GrabLost())
        FinishBand();
      else
        UpdateBand(pos);
      return;
    case Mode::None:
      // The rest of a press already handled (a drag, a double click).
      if (m_bMulti && event->buttons() != Qt::NoButton) return;
      QTreeWidget::mouseMoveEvent(event);
      return;
  }
}

void CMultiTree::mouseReleaseEvent(QMouseEvent* event) {
  const bool ours = event->button() == Qt::LeftButton || event->button() == Qt::RightButton;
  switch (m_mode) {
    case Mode::Plain:
      LeaveToTree(event);
      m_mode = Mode::None;
      return;
    case Mode::Tracking:
      if (ours) FinishTracking(true);
      return;
    case Mode::Band:
      if (ours) FinishBand();
      return;
    case Mode::None:
      if (!m_bMulti) QTreeWidget::mouseReleaseEvent(event);
      return;
  }
}

void CMultiTree::FinishTracking(bool click) {
  m_mode = Mode::None;
  QTreeWidgetItem* item = ItemOf(m_pressItem);
  m_pressItem = QPersistentModelIndex();
  if (!click || !item) return;
  if (m_button == Qt::LeftButton && !m_bShift) {
    if (m_bCtrl) {
      SetItemState(item, TVIS_FOCUSED | (IsSelected(item) ? 0 : TVIS_SELECTED), kCaretAndSelected);
    } else {
      SelectAllExcept(false, item);
      SetItemState(item, kCaretAndSelected, kCaretAndSelected);
    }
  }
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  if (m_button == Qt::LeftButton)
    emit treeClicked(item);
  else
    emit treeRightClicked(item);
}

void CMultiTree::CancelMouseMode() {
  switch (m_mode) {
    case Mode::Tracking: FinishTracking(false); break;
    case Mode::Band: FinishBand(); break;
    case Mode::Plain:
    case Mode::None: m_mode = Mode::None; break;
  }
}

// A double click on a label or image opens or closes the item, on an expand
// button it toggles again; elsewhere it does nothing.
void CMultiTree::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!m_bMulti) {
    QTreeWidget::mouseDoubleClickEvent(event);
    return;
  }
  if (m_mode != Mode::None || event->button() != Qt::LeftButton) return;
  QTreeWidgetItem* item = nullptr;
  const Hit hit = HitTest(event->position().toPoint(), &item);
  if (hit == Hit::Button) {
    item->setExpanded(!item->isExpanded());
    return;
  }
  if (hit != Hit::Icon && hit != Hit::Label && hit != Hit::StateIcon) return;
  const QPersistentModelIndex index(indexFromItem(item));
  emit doubleClicked(index);
  item = ItemOf(index);
  if (item && item->childCount() > 0 && itemsExpandable() && expandsOnDoubleClick())
    item->setExpanded(!item->isExpanded());
}

// ---- rubber band ---------------------------------------------------------

void CMultiTree::StartBand(QPoint pos) {
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  m_initial.clear();
  if (m_bCtrl || m_bShift)
    for (const QPersistentModelIndex& index : VisibleItems())
      if (IsSelected(ItemOf(index))) m_initial.insert(index);
  m_bandTimer.start(kBandTimerMs, this);
  // The press point in content coordinates, so that it scrolls with the items.
  m_ptBandOrigin = pos + QPoint(horizontalOffset(), verticalOffset());
  m_ptLast = pos;
  m_bBandStarted = false;
  m_mode = Mode::Band;
}

void CMultiTree::UpdateBand(QPoint pos) {
  if (!m_bBandStarted) {
    if (!BeyondDragDistance(pos - m_ptPress)) return;
    m_bBandStarted = true;
    if (!m_bCtrl && !m_bShift) SelectAll(false);
    if (!m_band) m_band = std::make_unique<QRubberBand>(QRubberBand::Rectangle, viewport());
    m_band->setGeometry(QRect(m_ptPress, pos).normalized());
    m_band->show();
    return;
  }
  const QRect client = viewport()->rect();
  if (pos.y() < client.top())
    verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  else if (pos.y() > client.bottom())
    verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  if (pos.x() < client.left())
    horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  else if (pos.x() > client.right())
    horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  const QPoint origin = m_ptBandOrigin - QPoint(horizontalOffset(), verticalOffset());
  const QRect band = QRect(origin, pos).normalized();
  ApplyBand(band);
  m_band->setGeometry(band);
}

void CMultiTree::ApplyBand(const QRect& band) {
  const QRect client = viewport()->rect();
  for (const QPersistentModelIndex& index : VisibleItems()) {
    QTreeWidgetItem* item = ItemOf(index);
    if (!item) continue;
    const QRect cell = visualRect(index);
    const bool inside = QRect(client.left(), cell.top(), client.width(), cell.height()).intersects(band);
    const bool initial = m_initial.contains(index);
    if (!inside) {
      ChangeSelection(item, initial);
    } else if (!IsSelected(item) && !initial) {
      ChangeSelection(item, true);
    } else if (initial && m_bCtrl) {
      ChangeSelection(item, false);
    } else if (initial && m_bShift) {
      m_initial.remove(index);
    }
  }
}

void CMultiTree::FinishBand() {
  m_bandTimer.stop();
  m_mode = Mode::None;
  if (m_bBandStarted)
    m_band->hide();
  else if (!m_bCtrl && !m_bShift)
    SelectAll(false);  // a plain click on empty space clears the selection
  m_bBandStarted = false;
  m_initial.clear();
  if (m_button == Qt::LeftButton)
    emit treeClicked(nullptr);
  else
    emit treeRightClicked(nullptr);
}

void CMultiTree::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_bandTimer.timerId()) {
    QTreeWidget::timerEvent(event);
    return;
  }
  if (m_mode != Mode::Band) {
    m_bandTimer.stop();
  } else if (GrabLost()) {
    FinishBand();
  } else if (!viewport()->rect().contains(m_ptLast)) {
    UpdateBand(m_ptLast);  // scrolls while the pointer is held outside
  }
}

// ---- keyboard and focus --------------------------------------------------

// A plain tree scrolls with Ctrl and a navigation key, keeping the caret.
bool CMultiTree::ScrollByKey(int key) {
  QScrollBar* vertical = verticalScrollBar();
  QScrollBar* horizontal = horizontalScrollBar();
  switch (key) {
    case Qt::Key_Up: vertical->triggerAction(QAbstractSlider::SliderSingleStepSub); return true;
    case Qt::Key_Down: vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd); return true;
    case Qt::Key_PageUp: vertical->triggerAction(QAbstractSlider::SliderPageStepSub); return true;
    case Qt::Key_PageDown: vertical->triggerAction(QAbstractSlider::SliderPageStepAdd); return true;
    case Qt::Key_Home: vertical->triggerAction(QAbstractSlider::SliderToMinimum); return true;
    case Qt::Key_End: vertical->triggerAction(QAbstractSlider::SliderToMaximum); return true;
    case Qt::Key_Left: horizontal->triggerAction(QAbstractSlider::SliderSingleStepSub); return true;
    case Qt::Key_Right: horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd); return true;
    default: return false;
  }
}

// The plain tree's handling of a key: navigation keys move the caret (the
// plain way, see currentChanged), other keys are Qt's.
void CMultiTree::MoveCaretByKey(QKeyEvent* event) {
  static constexpr std::pair<int, CursorAction> kMoves[] = {
      {Qt::Key_Up, MoveUp},     {Qt::Key_Down, MoveDown},     {Qt::Key_Left, MoveLeft},
      {Qt::Key_Right, MoveRight}, {Qt::Key_Home, MoveHome},   {Qt::Key_End, MoveEnd},
      {Qt::Key_PageUp, MovePageUp}, {Qt::Key_PageDown, MovePageDown},
  };
  const auto move = std::find_if(std::begin(kMoves), std::end(kMoves),
                                 [&](const auto& entry) { return entry.first == event->key(); });
  if (move == std::end(kMoves)) {
    QTreeWidget::keyPressEvent(event);
    return;
  }
  event->accept();
  if ((event->modifiers() & Qt::ControlModifier) && ScrollByKey(event->key())) return;
  const QModelIndex next = moveCursor(move->second, event->modifiers());
  if (next.isValid() && next.siblingAtColumn(0) != currentIndex().siblingAtColumn(0))
    SelectCaret(itemFromIndex(next));
}

void CMultiTree::keyPressEvent(QKeyEvent* event) {
  if (!m_bMulti) {
    QTreeWidget::keyPressEvent(event);
    return;
  }
  if (m_mode == Mode::Band && event->key() == Qt::Key_Escape) {
    SelectAll(false);
    FinishBand();
    return;
  }
  const int key = event->key();
  if (key != Qt::Key_Up && key != Qt::Key_Down) {
    MoveCaretByKey(event);
    return;
  }
  const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
  const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
  QTreeWidgetItem* start = currentItem();
  if (!GetAnchor()) SetAnchor(start);
  if (!ctrl && !shift) {
    SetAnchor(nullptr);
    SelectAll(false);
  }
  MoveCaretByKey(event);
  if (!start || (!ctrl && !shift)) return;
  QTreeWidgetItem* target = key == Qt::Key_Up ? GetPrevVisibleItem(start) : GetNextVisibleItem(start);
  if (!target) target = start;
  if (shift)
    SelectRange(GetAnchor(), target, true);
  else
    SetItemState(target, TVIS_FOCUSED, TVIS_FOCUSED);
}

void CMultiTree::RepaintSelected() {
  for (QTreeWidgetItem* item = GetFirstSelectedItem(); item; item = GetNextSelectedItem(item))
    viewport()->update(visualItemRect(item));
}

void CMultiTree::focusInEvent(QFocusEvent* event) {
  QTreeWidget::focusInEvent(event);
  RepaintSelected();
}

void CMultiTree::focusOutEvent(QFocusEvent* event) {
  QTreeWidget::focusOutEvent(event);
  // A popup or another window takes the mouse away from a press in progress.
  if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
    CancelMouseMode();
  RepaintSelected();
}
