// DialogFont: the font the dialogs are laid out for. Their sizes are in
// dialog units of an 8-point "MS Sans Serif"; the nearest look here is an
// 8-point sans serif of semi-condensed width, so that the texts fit.
#pragma once

#include <QFont>

namespace tarvo {

inline QFont DialogFont(QFont base) {
  base.setPointSize(8);
  base.setStretch(QFont::SemiCondensed);
  return base;
}

}  // namespace tarvo
