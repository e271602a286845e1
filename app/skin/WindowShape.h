// WindowShape: the main window's outline (WindowOutline) as a polygon and
// as the region that shapes the window.
#pragma once

#include <QPolygon>
#include <QRegion>

class QWidget;

namespace tarvo {

// The outline's vertices in order; the polygon closes back to the first.
QPolygon WindowOutlinePolygon();

// The outline filled with the alternate (odd-even) rule.
QRegion WindowOutlineRegion();

// Makes the outline the window's shape and redraws it.
void ApplyWindowOutline(QWidget& window);

}  // namespace tarvo
