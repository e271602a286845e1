#include "RegionFromMask.h"

namespace tarvo {
namespace {

constexpr QRgb kColourBits = 0x00FFFFFF;
constexpr std::size_t kGrowBy = 40;

void Gather(std::vector<QRect>& runs, QRect run) {
  if (runs.size() == runs.capacity()) runs.reserve(runs.capacity() + kGrowBy);
  runs.push_back(run);
}

}  // namespace

std::vector<QRect> MaskRuns(const QImage& mask, QRgb key) {
  std::vector<QRect> runs;
  runs.reserve(kGrowBy);
  if (mask.isNull()) return runs;
  const QImage pixels = mask.convertToFormat(QImage::Format_RGB32);
  const QRgb transparent = key & kColourBits;
  for (int y = pixels.height() - 1; y >= 0; --y) {
    const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    int x = 0;
    while (x < pixels.width()) {
      if ((line[x] & kColourBits) == transparent) {
        ++x;
        continue;
      }
      const int left = x;
      while (x < pixels.width() && (line[x] & kColourBits) != transparent) ++x;
      Gather(runs, QRect(QPoint(left, y), QPoint(x - 1, y)));  // right edge x, bottom y + 1
    }
  }
  return runs;
}

QRegion RegionFromRuns(const std::vector<QRect>& runs) {
  QRegion region;
  for (const QRect& run : runs) region = region.united(QRegion(run));
  return region;
}

}  // namespace tarvo
