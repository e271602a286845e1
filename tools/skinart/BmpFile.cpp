#include "BmpFile.h"
#include "LittleEndian.h"

namespace skinart {

QByteArray WriteBmpFile(const QImage& picture) {
  const bool indexed = picture.format() == QImage::Format_Indexed8;
  const QImage image = indexed ? picture : picture.convertToFormat(QImage::Format_RGB32);
  const int bitCount = indexed ? 8 : 24;
  const int colours = indexed ? int(image.colorCount()) : 0;
  const int stride = ((image.width() * bitCount + 31) / 32) * 4;
  const qint64 dataOffset = 14 + 40 + 4 * qint64(colours);
  const qint64 dataSize = qint64(stride) * image.height();

  QByteArray out;
  out += "BM";
  Put32(out, dataOffset + dataSize);
  Put32(out, 0);
  Put32(out, dataOffset);
  Put32(out, 40);
  Put32(out, image.width());
  Put32(out, image.height());  // bottom row first
  Put16(out, 1);
  Put16(out, bitCount);
  Put32(out, 0);  // BI_RGB
  Put32(out, dataSize);
  Put32(out, 3780);  // 96 dpi
  Put32(out, 3780);
  Put32(out, colours);
  Put32(out, colours);
  for (int i = 0; i < colours; ++i) {
    const QRgb c = image.color(i);
    out += char(qBlue(c));
    out += char(qGreen(c));
    out += char(qRed(c));
    out += char(0);
  }
  for (int y = image.height() - 1; y >= 0; --y) {
    QByteArray row(stride, '\0');
    for (int x = 0; x < image.width(); ++x) {
      if (indexed) {
        row[x] = char(image.constScanLine(y)[x]);
      } else {
        const QRgb c = image.pixel(x, y);
        row[3 * x] = char(qBlue(c));
        row[3 * x + 1] = char(qGreen(c));
        row[3 * x + 2] = char(qRed(c));
      }
    }
    out += row;
  }
  return out;
}

}  // namespace skinart
