#include "IconFile.h"
#include "LittleEndian.h"

#include <QtEndian>

namespace skinart {
namespace {

int MaskStride(int width) { return ((width + 31) / 32) * 4; }

// BITMAPINFOHEADER of an icon image: the height counts the colour rows and
// the mask rows.
void PutInfoHeader(QByteArray& out, QSize size, int bitCount, int colours) {
  Put32(out, 40);
  Put32(out, size.width());
  Put32(out, size.height() * 2);
  Put16(out, 1);
  Put16(out, bitCount);
  Put32(out, 0);  // BI_RGB
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, colours);
  Put32(out, 0);
}

// The AND mask, bottom row first: 1 where the screen shows through.
void PutAndMask(QByteArray& out, const QImage& argb) {
  const int stride = MaskStride(argb.width());
  for (int y = argb.height() - 1; y >= 0; --y) {
    QByteArray row(stride, '\0');
    for (int x = 0; x < argb.width(); ++x) {
      if (qAlpha(argb.pixel(x, y)) < 128) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
    }
    out += row;
  }
}

QByteArray IconImage(const QImage& picture) {
  const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
  QByteArray out;
  PutInfoHeader(out, argb.size(), 32, 0);
  for (int y = argb.height() - 1; y >= 0; --y) {
    for (int x = 0; x < argb.width(); ++x) {
      const QRgb c = argb.pixel(x, y);
      out += char(qBlue(c));
      out += char(qGreen(c));
      out += char(qRed(c));
      out += char(qAlpha(c));
    }
  }
  PutAndMask(out, argb);
  return out;
}

QByteArray MonoImage(const QImage& picture) {
  const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
  QByteArray out;
  PutInfoHeader(out, argb.size(), 1, 2);
  Put32(out, 0x00000000);  // colour 0: black
  Put32(out, 0x00FFFFFF);  // colour 1: white
  const int stride = MaskStride(argb.width());
  for (int y = argb.height() - 1; y >= 0; --y) {
    QByteArray row(stride, '\0');
    for (int x = 0; x < argb.width(); ++x) {
      const QRgb c = argb.pixel(x, y);
      if (qAlpha(c) >= 128 && qGray(c) >= 128) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
    }
    out += row;
  }
  PutAndMask(out, argb);
  return out;
}

// ICONDIR and its entries; for a cursor the two words after the colour
// count hold the hot spot.
QByteArray Directory(int type, const std::vector<QByteArray>& images, const std::vector<QSize>& sizes,
                     int colours, QPoint hotSpot) {
  QByteArray out;
  Put16(out, 0);
  Put16(out, type);
  Put16(out, int(images.size()));
  qint64 offset = 6 + 16 * qint64(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out += char(sizes[i].width() >= 256 ? 0 : sizes[i].width());
    out += char(sizes[i].height() >= 256 ? 0 : sizes[i].height());
    out += char(colours);
    out += char(0);
    Put16(out, type == 2 ? hotSpot.x() : 1);
    Put16(out, type == 2 ? hotSpot.y() : 32);
    Put32(out, images[i].size());
    Put32(out, offset);
    offset += images[i].size();
  }
  for (const QByteArray& image : images) out += image;
  return out;
}

}  // namespace

QByteArray WriteIconFile(const std::vector<QImage>& pictures) {
  std::vector<QByteArray> images;
  std::vector<QSize> sizes;
  for (const QImage& picture : pictures) {
    images.push_back(IconImage(picture));
    sizes.push_back(picture.size());
  }
  return Directory(1, images, sizes, 0, {});
}

QByteArray WriteMonoCursorFile(const QImage& picture, QPoint hotSpot) {
  return Directory(2, {MonoImage(picture)}, {picture.size()}, 2, hotSpot);
}

}  // namespace skinart
