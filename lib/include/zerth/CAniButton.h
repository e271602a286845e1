// CAniButton: takes over an existing push button of a dialog and shows an
// animated picture in it. The picture is a CDIB strip laid out as a grid:
// one column per frame, three rows for the button's states (0 normal, 1
// focused, 2 pressed); a frame is drawn from one pixel in from its column's
// left edge. A timer advances the frame; each paint picks the row from the
// button's state and draws the current frame centred (the odd pixel to the
// right and bottom) or stretched over the button. A second image can stand
// for the disabled button, and a cursor can be shown over it.
//
// Taking over the control (subclassing it) means filtering its events: the
// button stays the dialog's QPushButton, with its signals, and this object
// paints it, runs its timer and sets its cursor. The object owns its images;
// the button belongs to its dialog, and either may go first.
#pragma once

#include <zerth/CDIB.h>
#include <zerth/Export.h>
#include <zplatform/Gdi.h>

#include <QCursor>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QPushButton>

#include <memory>
#include <optional>

class ZERTH_API CAniButton : public QObject {
public:
  // The id of the animation timer (its Qt timer is behind it), and the
  // shortest interval it runs at, as a window timer has.
  static constexpr UINT kTimerId = 512;
  static constexpr UINT kMinTimerInterval = 10;

  CAniButton();
  ~CAniButton() override;
  CAniButton(const CAniButton&) = delete;
  CAniButton& operator=(const CAniButton&) = delete;

  // Takes over the push button child of pParent whose object name is nID in
  // decimal (a dialog control's id), with the frame strip bitmap resource
  // nNormalId of the running program and, unless 0, the disabled image
  // nDisabledId (one frame wide). The frame count 0 means: normal width /
  // disabled width. With bConvertBackground, the colour of each image's
  // top-left pixel becomes the button-face colour wherever it occurs.
  // nCursorId, unless 0, is a cursor resource shown over the button.
  // Returns 0 when an image is missing or not palette-based, when there is
  // no such button, or when the frame count comes out 0 or nFps is 0 for
  // more than one frame; the button is then left as it was.
  int AutoLoad(UINT nID, QWidget* pParent, UINT nNormalId, UINT nDisabledId, UINT nFps, UINT nFrames, int bStretch,
               int bConvertBackground, UINT nCursorId);
  // The same with the images from BMP files; szDisabled may be null.
  int AutoLoad(UINT nID, QWidget* pParent, const char* szNormal, const char* szDisabled, UINT nFps, UINT nFrames,
               int bStretch, int bConvertBackground, UINT nCursorId);

  // For palette-change handling: repaints the button with its current
  // image. (Qt paints in true colour, so no palette needs realising.)
  void RealizePalette();

  // Draws the button: the current frame of the row for the item state, or
  // the disabled image; stops the timer while the state is disabled and
  // starts it again once it is not. Nothing else is drawn.
  virtual void DrawItem(DRAWITEMSTRUCT* lpDrawItemStruct);

  // The timer: the next frame, after the last the first; repaints.
  void OnTimer(UINT nIDEvent);
  // Sets the cursor over the button; 0 when there is none (the button's
  // own applies).
  BOOL OnSetCursor();
  // The button is going: its timer with it.
  void OnDestroy();

  // The button taken over, or null.
  QPushButton* GetButton() const { return m_pButton; }

protected:
  // Takes over the button once the images exist (see AutoLoad).
  int Init(UINT nID, QWidget* pParent, UINT nFps, UINT nFrames, int bStretch, int bConvertBackground, UINT nCursorId);
  bool eventFilter(QObject* watched, QEvent* event) override;

  std::unique_ptr<CDIB> m_pNormal;
  std::unique_ptr<CDIB> m_pDisabled;  // may be null
  UINT m_nTimerId = 0;                // kTimerId while the timer runs, else 0
  int m_nCurrentFrame = 0;
  UINT m_nFrameCount = 0;
  UINT m_nFps = 0;
  int m_nFrameWidth = 0;
  int m_nFrameHeight = 0;
  int m_bStretch = 0;
  std::optional<QCursor> m_hCursor;

private:
  void StartTimer();
  void StopTimer();
  void Release();
  void PaintButton();

  QPointer<QPushButton> m_pButton;
  // The same object as a QObject, to recognise its events and kill its
  // timer even while it is being destroyed and no longer a QPushButton.
  QObject* m_pWatched = nullptr;
  QMetaObject::Connection m_destroyed;
  int m_nQtTimer = 0;
};
