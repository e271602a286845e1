// SkinGeometry: where things sit on the main window and the skin's colours,
// for the dialog that places its controls and for the art tool that draws the
// background around them. Control places are the dialog template's, in
// dialog units; the outline and the bitmaps are in window pixels.
#pragma once

#include <zplatform/DialogUnits.h>

#include <QColor>
#include <QRect>

namespace tarvo::skin {

using zplatform::DluRect;

// The whole dialog.
inline const QSize kDialogSize = DluRect(0, 0, 380, 265).size();

// The background bitmap's size and its place in the window.
inline constexpr QSize kBackgroundSize{557, 411};
inline const QRect kBackgroundRect = DluRect(2, 2, 371, 253);
inline const QPoint kBackgroundOrigin = kBackgroundRect.topLeft();

// The window's outline: a rounded rectangle between these pixel edges.
inline constexpr int kOutlineLeft = 13;
inline constexpr int kOutlineTop = 10;
inline constexpr int kOutlineRight = 551;   // first column outside
inline constexpr int kOutlineBottom = 411;  // first row outside
inline constexpr double kOutlineRadius = 60.0;

// The controls of the main dialog.
inline const QRect kHotspot = DluRect(29, 21, 68, 70);
inline const QRect kContactsLabel = DluRect(129, 47, 221, 8);
inline const QRect kContactList = DluRect(129, 58, 221, 104);
inline const QRect kOutlookPicker = DluRect(28, 101, 85, 14);
inline const QRect kOutlookFolderPicker = DluRect(28, 123, 85, 14);
inline const QRect kWabPicker = DluRect(28, 145, 85, 14);
inline const QRect kTextFilePicker = DluRect(28, 167, 85, 14);
inline const QRect kFirstPicker = kOutlookPicker;
inline const QRect kLastPicker = kTextFilePicker;
inline const QRect kDelete = DluRect(129, 167, 50, 14);
inline const QRect kTitleLabel = DluRect(37, 190, 46, 8);
inline const QRect kTitleEdit = DluRect(106, 188, 214, 12);
inline const QRect kSourceLabel = DluRect(37, 207, 59, 8);
inline const QRect kSourceEdit = DluRect(106, 205, 214, 12);
inline const QRect kBrowse = DluRect(326, 205, 12, 12);
inline const QRect kSend = DluRect(122, 227, 50, 14);
inline const QRect kClose = DluRect(206, 227, 50, 14);
// The title buttons' template places; they take the size of their 21 by 21
// masks.
inline const QRect kHelpButtonPlace = DluRect(324, 20, 10, 9);
inline const QRect kCloseButtonPlace = DluRect(339, 20, 10, 9);
inline const QRect kHelpButton{kHelpButtonPlace.topLeft(), QSize(21, 21)};
inline const QRect kCloseButton{kCloseButtonPlace.topLeft(), QSize(21, 21)};

// Colours: dark navy with the pale gold of the state labels.
inline constexpr QColor kBase{18, 24, 38};
inline constexpr QColor kBodyTop{40, 55, 90};
inline constexpr QColor kBodyBottom{13, 18, 31};
inline constexpr QColor kCard{22, 30, 50};
inline constexpr QColor kPlate{10, 14, 24};
inline constexpr QColor kGold{251, 220, 112};
inline constexpr QColor kGoldDim{150, 126, 60};
inline constexpr QColor kGoldDeep{96, 74, 28};
// A state label whose input is still missing.
inline constexpr QColor kInputMissing{255, 0, 0};

}  // namespace tarvo::skin
