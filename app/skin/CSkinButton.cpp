#include "CSkinButton.h"

#include "RegionFromMask.h"
#include "SkinResources.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>
#include <QCoreApplication>

#include <algorithm>
#include <vector>

namespace {

constexpr QRgb kMaskTransparent = 0xFFFFFF;
constexpr int kFocusMarginNone = 0x8000;
constexpr char kGroupStartProperty[] = "tarvoGroupStart";

CSkinButton::Kind KindOf(DWORD style) {
  switch (style & CSkinButton::BS_TYPEMASK) {
    case CSkinButton::BS_AUTOCHECKBOX: return CSkinButton::Kind::CheckBox;
    case CSkinButton::BS_AUTORADIOBUTTON: return CSkinButton::Kind::RadioButton;
    default: return CSkinButton::Kind::PushButton;
  }
}

bool IsGroupStart(const QWidget* widget) { return widget->property(kGroupStartProperty).toBool(); }

// The mask bitmap turned into alpha: opaque where the mask is black.
QImage WithMaskAlpha(const QImage& bitmap, const QImage& mask) {
  QImage out = bitmap.convertToFormat(QImage::Format_ARGB32);
  const QImage scaledMask = mask.size() == bitmap.size() ? mask : mask.scaled(bitmap.size());
  for (int y = 0; y < out.height(); ++y) {
    for (int x = 0; x < out.width(); ++x) {
      if ((scaledMask.pixel(x, y) & 0xFFFFFF) != 0) out.setPixel(x, y, 0);
    }
  }
  return out;
}

}  // namespace

CSkinButton::CSkinButton(QWidget* parent, DWORD style) : QPushButton(parent), m_kind(KindOf(style)) {
  // Hover needs the moves without a button held.
  setMouseTracking(true);
}

CSkinButton::~CSkinButton() = default;

void CSkinButton::SetSkin(UINT normal, UINT pressed, UINT hover, UINT disabled, UINT focused, UINT mask, int drawMode,
                          bool border, int focusMargin) {
  m_bmpNormal = tarvo::LoadSkinBitmap(normal);
  m_bmpPressed = tarvo::LoadSkinBitmap(pressed);
  m_bmpHover = tarvo::LoadSkinBitmap(hover);
  m_bmpDisabled = disabled != 0 ? tarvo::LoadSkinBitmap(disabled) : m_bmpNormal;
  m_bmpFocused = tarvo::LoadSkinBitmap(focused);
  m_bmpMask = tarvo::LoadSkinBitmap(mask);
  m_nDrawMode = drawMode;
  m_bBorder = border;
  m_nFocusMargin = (focusMargin & kFocusMarginNone) ? 0 : focusMargin;

  if (!m_bmpMask.isNull()) {
    m_region = CreateRegionFromMask(&m_bmpMask, kMaskTransparent);  // the old one goes
    if (m_region) setMask(*m_region);
    if (m_nDrawMode == kDrawNatural) resize(m_bmpMask.size());  // keeps place and stacking
  }
  update();
}

std::optional<QRegion> CSkinButton::CreateRegionFromMask(const QImage* mask, QRgb transparent) {
  if (!mask || mask->isNull()) return std::nullopt;
  return tarvo::RegionFromRuns(tarvo::MaskRuns(*mask, transparent));
}

void CSkinButton::DrawBitmap(QPainter& painter, const QImage& bitmap, QRect rect, int mode) const {
  if (bitmap.isNull()) return;
  if (mode == kDrawTile) {
    for (int y = rect.top(); y <= rect.bottom(); y += bitmap.height()) {
      for (int x = rect.left(); x <= rect.right(); x += bitmap.width()) {
        const QRect part(0, 0, std::min(bitmap.width(), rect.right() + 1 - x),
                         std::min(bitmap.height(), rect.bottom() + 1 - y));
        painter.drawImage(QPoint(x, y), bitmap, part);
      }
    }
    return;
  }
  if (!m_bmpMask.isNull()) {
    DrawThroughMask(painter, bitmap, rect, mode);
    return;
  }
  if (mode == kDrawStretch) painter.drawImage(rect, bitmap);
  else painter.drawImage(rect.topLeft(), bitmap);
}

// Inverting, masking and inverting again leaves what was below where the
// mask is white and the bitmap where it is black. Painters without raster
// operations get the same picture by alpha.
void CSkinButton::DrawThroughMask(QPainter& painter, const QImage& bitmap, QRect rect, int mode) const {
  const QRect bitmapRect = mode == kDrawStretch ? rect : QRect(rect.topLeft(), bitmap.size());
  const QRect maskRect = mode == kDrawStretch ? rect : QRect(rect.topLeft(), m_bmpMask.size());
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  if (painter.paintEngine() && painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) {
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(bitmapRect, bitmap);
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.drawImage(maskRect, m_bmpMask);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(bitmapRect, bitmap);
  } else {
    painter.drawImage(bitmapRect, WithMaskAlpha(bitmap, m_bmpMask));
  }
  painter.restore();
}

bool CSkinButton::HoldsCapture() const { return QWidget::mouseGrabber() == this; }

bool CSkinButton::PointerOver() const { return rect().contains(m_ptPointer); }

void CSkinButton::DrawState(QPainter& painter, const QImage& bitmap, QRect rect) const {
  if (bitmap.isNull()) painter.fillRect(rect, palette().color(QPalette::Button));
  else DrawBitmap(painter, bitmap, rect, m_nDrawMode);
}

void CSkinButton::paintEvent(QPaintEvent*) {
  // While the left button is held on us, the pushed look follows the pointer.
  if (m_bTracking && HoldsCapture()) {
    const bool over = PointerOver();
    if (over != isDown()) {
      setDown(over);  // draws again
      return;
    }
  }
  QPainter painter(this);
  const QRect area = rect();
  if (!isEnabled()) {
    DrawState(painter, m_bmpDisabled, area);
    if (m_bBorder) qDrawWinPanel(&painter, area, palette(), false);
    return;
  }
  bool sunken = false;
  if (isDown() || m_bChecked) {
    DrawState(painter, m_bmpPressed, area);
    sunken = true;
  } else if (!m_bmpNormal.isNull()) {
    const QImage* bitmap = &m_bmpNormal;
    if (m_bHover && !m_bmpHover.isNull()) bitmap = &m_bmpHover;
    else if (hasFocus() && !m_bmpFocused.isNull()) bitmap = &m_bmpFocused;
    DrawBitmap(painter, *bitmap, area, m_nDrawMode);
  } else {
    painter.fillRect(area, palette().color(QPalette::Button));
  }
  if (m_bBorder) qDrawWinPanel(&painter, area, palette(), sunken);
  if (hasFocus() && m_nFocusMargin > 0) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = area.adjusted(m_nFocusMargin, m_nFocusMargin, -m_nFocusMargin, -m_nFocusMargin);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
  // The caption is not drawn.
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event) {
  m_ptPointer = event->position().toPoint();
  if (m_bTracking && HoldsCapture()) {
    const bool over = PointerOver();
    if (over != isDown()) {
      setDown(over);
      repaint();
    }
  } else if (!m_bHover) {
    // Leave notifications come with every widget here: tracking is granted.
    m_bHover = true;
    repaint();
  }
  QPushButton::mouseMoveEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
  m_bHover = false;
  repaint();
  QPushButton::leaveEvent(event);
}

void CSkinButton::mousePressEvent(QMouseEvent* event) {
  m_ptPointer = event->position().toPoint();
  if (event->button() != Qt::LeftButton) {
    QPushButton::mousePressEvent(event);
    return;
  }
  m_bHover = false;  // leave tracking cancelled
  QPushButton::mousePressEvent(event);
  m_bTracking = true;
  grabMouse();
}

void CSkinButton::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void CSkinButton::mouseReleaseEvent(QMouseEvent* event) {
  m_ptPointer = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    if (PointerOver()) {
      if (m_kind == Kind::CheckBox) SetCheck(m_bChecked ? 0 : 1);
      if (m_kind == Kind::RadioButton) SetCheck(1);
    }
    m_bTracking = false;
    // Let go before the click runs: it may open a modal dialog.
    if (HoldsCapture()) releaseMouse();
  }
  QPushButton::mouseReleaseEvent(event);
}

void CSkinButton::focusOutEvent(QFocusEvent* event) {
  if (HoldsCapture()) {
    releaseMouse();
    m_bTracking = false;
  }
  QPushButton::focusOutEvent(event);
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
    if (m_kind == Kind::CheckBox) SetCheck(m_bChecked ? 0 : 1);
    if (m_kind == Kind::RadioButton) SetCheck(1);
  }
  QPushButton::keyPressEvent(event);
}

void CSkinButton::SetCheck(int check) {
  m_bChecked = m_kind != Kind::PushButton && check != 0;
  if (m_kind == Kind::RadioButton && m_bChecked) PostUncheckToGroup();
  update();
}

void CSkinButton::SetGroupStart(QWidget* widget, bool start) { widget->setProperty(kGroupStartProperty, start); }

void CSkinButton::PostUncheckToGroup() {
  QWidget* parent = parentWidget();
  if (!parent) return;
  std::vector<QWidget*> siblings;
  for (QObject* child : parent->children()) {
    if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isWindow()) siblings.push_back(widget);
  }
  const auto self = std::find(siblings.begin(), siblings.end(), this);
  if (self == siblings.end()) return;
  auto first = self;
  while (first != siblings.begin() && !IsGroupStart(*first)) --first;
  auto last = self + 1;
  while (last != siblings.end() && !IsGroupStart(*last)) ++last;
  for (auto it = first; it != last; ++it) {
    if (*it != this) QCoreApplication::postEvent(*it, new QEvent(kUncheckEvent));  // the queue owns it
  }
}

bool CSkinButton::event(QEvent* event) {
  if (event->type() == kUncheckEvent) {
    if (m_bChecked) {
      m_bChecked = false;
      update();
    }
    return true;
  }
  return QPushButton::event(event);
}
