// CSkinButton: an owner-drawn push button, check box or radio button that
// shows bitmaps for its states (normal, pressed, hover, disabled, focused)
// and takes the shape of a mask bitmap. It owns its bitmaps; the shape it
// gives itself belongs to the widget (QWidget::setMask) from then on.
#pragma once

#include <zplatform/WinTypes.h>

#include <QEvent>
#include <QImage>
#include <QPushButton>

#include <optional>

class CSkinButton : public QPushButton {
  Q_OBJECT

public:
  // Button styles of a dialog template that decide the kind.
  static constexpr DWORD BS_PUSHBUTTON = 0x0;
  static constexpr DWORD BS_AUTOCHECKBOX = 0x3;
  static constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
  static constexpr DWORD BS_TYPEMASK = 0xF;

  enum class Kind { PushButton, CheckBox, RadioButton };
  enum DrawMode { kDrawNatural = 0, kDrawStretch = 1, kDrawTile = 2 };

  // A radio button that becomes checked posts this event (the private
  // message 0x0500) to every other button of its group; a checked button
  // that receives it clears its check.
  static constexpr QEvent::Type kUncheckEvent = static_cast<QEvent::Type>(QEvent::User + 0x0500);

  // Attaches to a new button of the given template style, whose type bits
  // give the kind; from then on the button draws itself.
  explicit CSkinButton(QWidget* parent = nullptr, DWORD style = BS_PUSHBUTTON);
  ~CSkinButton() override;

  // Replaces all six bitmaps by these bitmap resources (0 for none); a
  // disabled id of 0 makes the normal bitmap serve. A focus margin with bit
  // 0x8000 means 0. A mask shapes the button (white is transparent) and, in
  // draw mode 0, sizes it to the mask; without one shape and size stay.
  void SetSkin(UINT normal, UINT pressed, UINT hover, UINT disabled, UINT focused, UINT mask, int drawMode,
               bool border, int focusMargin);

  // The region of the mask's pixels not of the transparent colour, or
  // nothing when there is no mask.
  static std::optional<QRegion> CreateRegionFromMask(const QImage* mask, QRgb transparent);

  // Draws bitmap into rect: tiled (mode 2), or through the mask when the
  // button has one, stretched (mode 1) or at natural size (mode 0).
  void DrawBitmap(QPainter& painter, const QImage& bitmap, QRect rect, int mode) const;

  // BM_GETCHECK / BM_SETCHECK: 1 when checked. A push button stays unchecked.
  int GetCheck() const { return m_bChecked ? 1 : 0; }
  void SetCheck(int check);

  // The dialog group that a radio button clears starts at a widget marked
  // as a group start (WS_GROUP) and runs through its later siblings up to
  // the next mark; without marks the group is all the siblings.
  static void SetGroupStart(QWidget* widget, bool start);

  Kind GetKind() const { return m_kind; }
  int GetDrawMode() const { return m_nDrawMode; }
  int GetFocusMargin() const { return m_nFocusMargin; }
  bool IsHovering() const { return m_bHover; }
  bool IsPressedTracking() const { return m_bTracking; }

protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  bool HoldsCapture() const;
  bool PointerOver() const;
  void DrawState(QPainter& painter, const QImage& bitmap, QRect rect) const;
  void DrawThroughMask(QPainter& painter, const QImage& bitmap, QRect rect, int mode) const;
  void PostUncheckToGroup();

  QImage m_bmpNormal;
  QImage m_bmpPressed;
  QImage m_bmpHover;
  QImage m_bmpDisabled;
  QImage m_bmpFocused;
  QImage m_bmpMask;
  int m_nDrawMode = kDrawNatural;
  bool m_bBorder = false;
  int m_nFocusMargin = 0;
  std::optional<QRegion> m_region;
  Kind m_kind = Kind::PushButton;
  bool m_bChecked = false;
  bool m_bHover = false;
  bool m_bTracking = false;
  QPoint m_ptPointer{-1, -1};  // last pointer position seen, button coordinates
};
