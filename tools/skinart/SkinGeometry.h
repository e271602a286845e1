// SkinGeometry: where things sit on the main window, in window pixels, and
// the skin's colours. The dialog's control places come from its template in
// dialog units, so that the art is drawn around the controls it carries.
#pragma once

#include <zplatform/DialogUnits.h>

#include <QColor>
#include <QRect>

namespace skinart {

using zplatform::DluRect;

// The background bitmap's size and its place in the window.
inline constexpr QSize kBackgroundSize{557, 411};
inline const QPoint kBackgroundOrigin = DluRect(2, 2, 371, 253).topLeft();

// The window's outline: a rounded rectangle between these pixel edges.
inline constexpr int kOutlineLeft = 13;
inline constexpr int kOutlineTop = 10;
inline constexpr int kOutlineRight = 551;   // first column outside
inline constexpr int kOutlineBottom = 411;  // first row outside
inline constexpr double kOutlineRadius = 60.0;

// Controls of the main dialog that the art frames.
inline const QRect kHotspot = DluRect(29, 21, 68, 70);
inline const QRect kContactsLabel = DluRect(129, 47, 221, 8);
inline const QRect kContactList = DluRect(129, 58, 221, 104);
inline const QRect kFirstPicker = DluRect(28, 101, 85, 14);
inline const QRect kLastPicker = DluRect(28, 167, 85, 14);
inline const QRect kDelete = DluRect(129, 167, 50, 14);
inline const QRect kTitleEdit = DluRect(106, 188, 214, 12);
inline const QRect kSourceEdit = DluRect(106, 205, 214, 12);
inline const QRect kBrowse = DluRect(326, 205, 12, 12);
inline const QRect kSend = DluRect(122, 227, 50, 14);
inline const QRect kClose = DluRect(206, 227, 50, 14);
// The title buttons take the size of their 21 by 21 masks.
inline const QRect kHelpButton{DluRect(324, 20, 10, 9).topLeft(), QSize(21, 21)};
inline const QRect kCloseButton{DluRect(339, 20, 10, 9).topLeft(), QSize(21, 21)};

// Colours: dark navy with the pale gold of the state labels.
inline constexpr QColor kBase{18, 24, 38};
inline constexpr QColor kBodyTop{40, 55, 90};
inline constexpr QColor kBodyBottom{13, 18, 31};
inline constexpr QColor kCard{22, 30, 50};
inline constexpr QColor kPlate{10, 14, 24};
inline constexpr QColor kGold{251, 220, 112};
inline constexpr QColor kGoldDim{150, 126, 60};
inline constexpr QColor kGoldDeep{96, 74, 28};

}  // namespace skinart
