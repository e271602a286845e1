// A tiny BMP writer for the tests: images of 1, 4, 8 or 24 bits a pixel,
// bottom-up (top-down for a negative height), with an info header of 40,
// 108 or 124 bytes; and the program's bitmap resources made from them.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QResource>
#include <QRgb>
#include <QTemporaryDir>

#include <cstdlib>
#include <functional>
#include <map>
#include <vector>

struct Bmp {
  int bits = 8, width = 1, height = 1;  // height < 0: top-down rows
  std::vector<QRgb> colours;            // the colour table
  quint32 clrUsed = 0, infoSize = 40;
  std::function<quint32(int x, int y)> pixel = [](int, int) { return 0u; };  // an index, or 0xRRGGBB

  QByteArray Write() const {
    const int rows = std::abs(height), stride = (width * bits + 31) / 32 * 4;
    const quint32 offset = 14 + infoSize + 4 * quint32(colours.size());
    QByteArray out("BM");
    auto put = [&out](quint64 value, int bytes) {
      for (int i = 0; i < bytes; ++i) out.append(char(value >> (8 * i)));
    };
    put(offset + stride * rows, 4), put(0, 4), put(offset, 4);
    put(infoSize, 4), put(width, 4), put(quint32(height), 4), put(1, 2), put(bits, 2), put(0, 4);
    put(stride * rows, 4), put(0, 8), put(clrUsed, 4), put(0, 4);
    out.append(QByteArray(infoSize - 40, '\0'));
    for (QRgb colour : colours) put(colour & 0xFFFFFF, 4);  // blue, green, red, 0
    for (int r = 0; r < rows; ++r) {
      QByteArray row(stride, '\0');
      for (int x = 0; x < width; ++x) {
        const quint32 v = pixel(x, height > 0 ? rows - 1 - r : r);
        if (bits == 24) row[3 * x] = char(v), row[3 * x + 1] = char(v >> 8), row[3 * x + 2] = char(v >> 16);
        else row[x * bits / 8] = char(row[x * bits / 8] | v << (8 - bits - x * bits % 8));
      }
      out.append(row);
    }
    return out;
  }
  QString Save(const QTemporaryDir& dir, const QString& name) const {
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(Write()) >= 0 ? file.fileName() : QString();
  }
};

// Makes the bitmaps the running program's resources :/res/bitmap/<id>.bmp,
// compiled by Qt's resource compiler.
inline bool RegisterBitmapResources(const QTemporaryDir& dir, const std::map<unsigned, Bmp>& bitmaps) {
  QByteArray qrc = "<RCC><qresource prefix=\"/res/bitmap\">";
  for (const auto& [id, bmp] : bitmaps) {
    const QString name = QString("%1.bmp").arg(id);
    qrc += "<file alias=\"" + name.toUtf8() + "\">" + bmp.Save(dir, name).toUtf8() + "</file>";
  }
  QFile file(dir.filePath("bitmaps.qrc"));
  if (!file.open(QIODevice::WriteOnly) || file.write(qrc + "</qresource></RCC>") < 0) return false;
  file.close();
  const QString rcc = dir.filePath("bitmaps.rcc");
  return QProcess::execute(RCC_PROGRAM, {"--binary", "-o", rcc, file.fileName()}) == 0 && QResource::registerResource(rcc);
}
