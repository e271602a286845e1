#include <zerth/CAniButton.h>

#include <zplatform/CursorResource.h>

#include <QEvent>
#include <QPainter>
#include <QTimerEvent>

#include <algorithm>

namespace {

// The images of one AutoLoad: the disabled one only when asked for.
template <typename Source>
bool LoadImages(std::unique_ptr<CDIB>& normal, std::unique_ptr<CDIB>& disabled, Source normalSource,
                Source disabledSource, bool withDisabled) {
  disabled.reset();
  normal = std::make_unique<CDIB>(normalSource);
  if (!normal->IsPaletteLoaded()) return false;
  if (!withDisabled) return true;
  disabled = std::make_unique<CDIB>(disabledSource);
  return disabled->IsPaletteLoaded() != 0;
}

}  // namespace

CAniButton::CAniButton() = default;

CAniButton::~CAniButton() { Release(); }

int CAniButton::AutoLoad(UINT nID, QWidget* pParent, UINT nNormalId, UINT nDisabledId, UINT nFps, UINT nFrames,
                         int bStretch, int bConvertBackground, UINT nCursorId) {
  if (!LoadImages(m_pNormal, m_pDisabled, nNormalId, nDisabledId, nDisabledId != 0)) return 0;
  return Init(nID, pParent, nFps, nFrames, bStretch, bConvertBackground, nCursorId);
}

int CAniButton::AutoLoad(UINT nID, QWidget* pParent, const char* szNormal, const char* szDisabled, UINT nFps,
                         UINT nFrames, int bStretch, int bConvertBackground, UINT nCursorId) {
  if (!LoadImages(m_pNormal, m_pDisabled, szNormal, szDisabled, szDisabled != nullptr)) return 0;
  return Init(nID, pParent, nFps, nFrames, bStretch, bConvertBackground, nCursorId);
}

int CAniButton::Init(UINT nID, QWidget* pParent, UINT nFps, UINT nFrames, int bStretch, int bConvertBackground,
                     UINT nCursorId) {
  auto* button =
      pParent ? pParent->findChild<QPushButton*>(QString::number(nID), Qt::FindDirectChildrenOnly) : nullptr;
  // A strip one frame wide stands beside a disabled image as wide as a frame.
  if (nFrames == 0 && m_pDisabled && m_pDisabled->GetWidth() > 0) {
    nFrames = static_cast<UINT>(m_pNormal->GetWidth() / m_pDisabled->GetWidth());
  }
  // Refused before the button is touched: the frame width and the timer
  // interval would divide by zero.
  if (!button || !m_pNormal || nFrames == 0 || (nFrames > 1 && nFps == 0)) return 0;

  Release();
  m_pButton = button;
  m_pWatched = button;
  button->installEventFilter(this);
  m_destroyed = connect(button, &QObject::destroyed, this, [this] {
    OnDestroy();
    m_pWatched = nullptr;
  });

  if (bConvertBackground) {
    const QColor face = button->palette().color(QPalette::Button);
    const COLORREF faceColour = RGB(static_cast<BYTE>(face.red()), static_cast<BYTE>(face.green()),
                                    static_cast<BYTE>(face.blue()));
    m_pNormal->ConvertColor(0, 0, faceColour);
    if (m_pDisabled) m_pDisabled->ConvertColor(0, 0, faceColour);
  }
  m_nFrameCount = nFrames;
  m_nFps = nFps;
  m_nFrameWidth = static_cast<int>(m_pNormal->GetWidth() / static_cast<long>(nFrames));
  m_nFrameHeight = static_cast<int>(m_pNormal->GetHeight() / 3);
  m_bStretch = bStretch;
  m_nCurrentFrame = 0;
  m_hCursor = nCursorId ? zplatform::LoadCursorResource(nCursorId) : std::nullopt;
  OnSetCursor();
  if (m_nFrameCount > 1) StartTimer();
  button->update();
  return 1;
}

// Gives the button back as it was before Init: its own painting, no timer
// of ours, and its own cursor.
void CAniButton::Release() {
  StopTimer();
  disconnect(m_destroyed);
  if (m_pButton) {
    m_pButton->removeEventFilter(this);
    if (m_hCursor) m_pButton->unsetCursor();
  }
  m_pButton = nullptr;
  m_pWatched = nullptr;
}

void CAniButton::StartTimer() {
  if (!m_pButton || m_nFps == 0) return;
  const UINT interval = std::max(1000 / m_nFps, kMinTimerInterval);
  m_nQtTimer = m_pButton->startTimer(static_cast<int>(interval));
  m_nTimerId = m_nQtTimer ? kTimerId : 0;
}

void CAniButton::StopTimer() {
  if (m_nQtTimer && m_pWatched) m_pWatched->killTimer(m_nQtTimer);
  m_nQtTimer = 0;
  m_nTimerId = 0;
}

bool CAniButton::eventFilter(QObject* watched, QEvent* event) {
  if (!watched || watched != m_pWatched) return false;
  switch (event->type()) {
    case QEvent::Timer:
      if (static_cast<QTimerEvent*>(event)->timerId() != m_nQtTimer) return false;
      OnTimer(kTimerId);
      return true;
    case QEvent::Paint:
      PaintButton();
      return true;
    case QEvent::Enter:
      OnSetCursor();
      return false;
    default:
      return false;
  }
}

void CAniButton::PaintButton() {
  QPainter painter(m_pButton);
  DRAWITEMSTRUCT item;
  item.CtlID = m_pButton->objectName().toUInt();
  item.hwndItem = m_pButton;
  item.hDC = &painter;
  item.rcItem = {0, 0, m_pButton->width(), m_pButton->height()};
  if (m_pButton->isDown()) item.itemState |= ODS_SELECTED;
  if (m_pButton->hasFocus()) item.itemState |= ODS_FOCUS;
  if (!m_pButton->isEnabled()) item.itemState |= ODS_DISABLED;
  DrawItem(&item);
}

void CAniButton::DrawItem(DRAWITEMSTRUCT* lpDrawItemStruct) {
  if (!lpDrawItemStruct) return;
  const UINT state = lpDrawItemStruct->itemState;
  const int frame = m_nCurrentFrame;  // as shown until now, even when disabling resets it
  if (state & ODS_DISABLED) {
    if (m_nTimerId) {
      StopTimer();
      m_nCurrentFrame = 0;
    }
  } else if (!m_nTimerId && m_nFrameCount > 1) {
    StartTimer();
  }

  CDIB* image = m_pNormal.get();
  int xSrc = frame * m_nFrameWidth + 1;
  int ySrc = 0;
  if (state & ODS_SELECTED) {
    ySrc = 2 * m_nFrameHeight;
  } else if (state & ODS_FOCUS) {
    ySrc = m_nFrameHeight;
  } else if ((state & ODS_DISABLED) && m_pDisabled) {
    image = m_pDisabled.get();
    xSrc = 0;
  }
  CDC* dc = lpDrawItemStruct->hDC;
  if (!dc || !image) return;

  const RECT& rect = lpDrawItemStruct->rcItem;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (m_bStretch) {
    image->Stretch(dc, rect.left, rect.top, width, height, xSrc, ySrc, m_nFrameWidth, m_nFrameHeight);
  } else {
    image->Draw(dc, rect.left + (width - m_nFrameWidth) / 2, rect.top + (height - m_nFrameHeight) / 2, m_nFrameWidth,
                m_nFrameHeight, xSrc, ySrc);
  }
}

void CAniButton::OnTimer(UINT /*nIDEvent*/) {
  m_nCurrentFrame = m_nCurrentFrame < static_cast<int>(m_nFrameCount) - 1 ? m_nCurrentFrame + 1 : 0;
  if (m_pButton) m_pButton->update();
}

BOOL CAniButton::OnSetCursor() {
  if (!m_hCursor || !m_pButton) return FALSE;
  m_pButton->setCursor(*m_hCursor);
  return TRUE;
}

void CAniButton::OnDestroy() { StopTimer(); }

void CAniButton::RealizePalette() {
  // A palette device would realise the palette of the image shown (the
  // normal one while enabled, else the disabled one); in true colour the
  // repaint, with the background erased, is what remains.
  if (m_pButton) m_pButton->update();
}
