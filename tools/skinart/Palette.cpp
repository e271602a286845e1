#include "Palette.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace skinart {
namespace {

struct Box {
  std::vector<QRgb> colours;  // one entry per pixel, so busy colours weigh more

  int Channel(QRgb c, int channel) const {
    return channel == 0 ? qRed(c) : channel == 1 ? qGreen(c) : qBlue(c);
  }
  // The channel with the widest range, and that range.
  std::pair<int, int> Widest() const {
    std::pair<int, int> best{0, -1};
    for (int channel = 0; channel < 3; ++channel) {
      auto [lo, hi] = std::minmax_element(colours.begin(), colours.end(), [&](QRgb a, QRgb b) {
        return Channel(a, channel) < Channel(b, channel);
      });
      const int range = Channel(*hi, channel) - Channel(*lo, channel);
      if (range > best.second) best = {channel, range};
    }
    return best;
  }
  QRgb Mean() const {
    std::array<long long, 3> sum{};
    for (QRgb c : colours) {
      sum[0] += qRed(c);
      sum[1] += qGreen(c);
      sum[2] += qBlue(c);
    }
    const long long n = static_cast<long long>(colours.size());
    return qRgb(int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n), int((sum[2] + n / 2) / n));
  }
};

std::vector<QRgb> MedianCut(std::vector<QRgb> pixels) {
  std::vector<Box> boxes{Box{std::move(pixels)}};
  while (boxes.size() < 256) {
    auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
      return a.Widest().second < b.Widest().second;
    });
    const auto [channel, range] = widest->Widest();
    if (range <= 0) break;
    std::vector<QRgb>& colours = widest->colours;
    std::stable_sort(colours.begin(), colours.end(), [&](QRgb a, QRgb b) {
      return widest->Channel(a, channel) < widest->Channel(b, channel);
    });
    // Split at the median, but never inside a run of one value.
    auto cut = colours.begin() + std::ptrdiff_t(colours.size() / 2);
    const int at = widest->Channel(*cut, channel);
    auto first = std::find_if(colours.begin(), colours.end(), [&](QRgb c) { return widest->Channel(c, channel) == at; });
    if (first != colours.begin()) cut = first;
    else cut = std::find_if(cut, colours.end(), [&](QRgb c) { return widest->Channel(c, channel) != at; });
    Box upper{std::vector<QRgb>(cut, colours.end())};
    colours.erase(cut, colours.end());
    boxes.push_back(std::move(upper));
  }
  std::vector<QRgb> palette;
  for (const Box& box : boxes) palette.push_back(box.Mean());
  return palette;
}

int Nearest(const std::vector<QRgb>& palette, QRgb c) {
  int best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < int(palette.size()); ++i) {
    const int dr = qRed(c) - qRed(palette[i]), dg = qGreen(c) - qGreen(palette[i]), db = qBlue(c) - qBlue(palette[i]);
    const int distance = dr * dr * 3 + dg * dg * 4 + db * db * 2;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

}  // namespace

QImage ToIndexed8(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  std::vector<QRgb> pixels;
  pixels.reserve(std::size_t(rgb.width()) * std::size_t(rgb.height()));
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) pixels.push_back(rgb.pixel(x, y) | 0xFF000000u);
  const std::vector<QRgb> palette = MedianCut(pixels);

  QImage out(rgb.size(), QImage::Format_Indexed8);
  out.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
  std::map<QRgb, int> cache;
  for (int y = 0; y < rgb.height(); ++y) {
    uchar* line = out.scanLine(y);
    for (int x = 0; x < rgb.width(); ++x) {
      const QRgb c = rgb.pixel(x, y) | 0xFF000000u;
      auto found = cache.find(c);
      if (found == cache.end()) found = cache.emplace(c, Nearest(palette, c)).first;
      line[x] = static_cast<uchar>(found->second);
    }
  }
  return out;
}

}  // namespace skinart
