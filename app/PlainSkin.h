// PlainSkin: the main dialog's background drawn in code, used while the
// program has no skin bitmap of its own. Dark, so that the pale gold and red
// state labels read well on it.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>

namespace tarvo {

// The colour behind and around the background picture.
inline constexpr QColor kPlainSkinBase{18, 24, 38};

// A background of this size, with a round logo inside logoArea and the
// product name beside it (both in the picture's own coordinates).
QPixmap PaintPlainBackground(QSize size, QRect logoArea);

enum class TitleSymbol { Help, Close };

// The symbol of a title button: a blue square with a question mark, or a red
// one with a cross.
QPixmap PaintTitleSymbol(TitleSymbol symbol, QSize size);

}  // namespace tarvo
