// RegionFromMask: the shape of a mask bitmap as rectangles and as a region:
// every pixel whose colour differs from the key belongs to the shape.
#pragma once

#include <QImage>
#include <QRegion>

#include <vector>

namespace tarvo {

// The mask's maximal horizontal runs of non-key pixels, one rectangle each
// (one pixel high), gathered from the bottom row up and left to right within
// a row. Colours compare on red, green and blue only.
std::vector<QRect> MaskRuns(const QImage& mask, QRgb key);

// The union of the runs, taken in gathering order from an empty region.
QRegion RegionFromRuns(const std::vector<QRect>& runs);

}  // namespace tarvo
