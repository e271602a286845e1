// Outline: the window's rounded-rectangle shape as a set of pixels, traced
// pixel by pixel into the closed polygon that the program applies as its
// window region, and written out as the program's WindowOutline source.
#pragma once

#include <QPoint>
#include <QString>

#include <vector>

namespace skinart {

// Signed distance of p (window pixels) from the outline: negative inside.
double OutlineDistance(QPointF p);

// Whether the pixel whose top-left corner is (x, y) belongs to the window.
bool InsideOutline(int x, int y);

// The outline's vertices on pixel corners, one pixel step apart, clockwise on
// screen, starting on the upper-left arc. The polygon closes back to the first.
std::vector<QPoint> TraceOutline();

// Empty when the polygon, filled odd-even, covers exactly the window's pixels;
// else what differs.
QString CheckTrace(const std::vector<QPoint>& vertices);

// The generated header and source of WindowOutline.
QByteArray OutlineHeader(std::size_t count);
QByteArray OutlineSource(const std::vector<QPoint>& vertices);

}  // namespace skinart
