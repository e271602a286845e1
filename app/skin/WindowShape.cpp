#include "WindowShape.h"

#include "WindowOutline.h"

#include <QWidget>

namespace tarvo {

QPolygon WindowOutlinePolygon() {
  QPolygon polygon;
  polygon.reserve(qsizetype(kWindowOutlineVertices));
  for (std::size_t i = 0; i < kWindowOutlineVertices; ++i)
    polygon << QPoint(WindowOutline[i], WindowOutline[kWindowOutlineVertices + i]);
  return polygon;
}

QRegion WindowOutlineRegion() { return QRegion(WindowOutlinePolygon(), Qt::OddEvenFill); }

void ApplyWindowOutline(QWidget& window) {
  window.setMask(WindowOutlineRegion());
  window.update();
}

}  // namespace tarvo
