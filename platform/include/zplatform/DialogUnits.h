// Dialog units to pixels for the dialog templates: 1 unit is 1.5 px across and
// 1.625 px down (MS Sans Serif 8 at 96 dpi).
#pragma once

#include <QRect>

namespace zplatform {

constexpr int DluToPixelsX(int dlu) { return (dlu * 3) / 2; }
constexpr int DluToPixelsY(int dlu) { return (dlu * 13) / 8; }

inline QRect DluRect(int x, int y, int width, int height) {
  return {DluToPixelsX(x), DluToPixelsY(y), DluToPixelsX(width), DluToPixelsY(height)};
}

}  // namespace zplatform
