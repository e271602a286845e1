// BMP files for the tests, written by Qt's own BMP writer (1 bit a pixel
// for a mono image, 4 for up to 16 colours, 8 for more, 24 for RGB32, and
// biClrUsed = the colour count), header fields patched, and the program's
// bitmap resources :/res/bitmap/<id>.bmp compiled by Qt's resource compiler.
#pragma once

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QResource>
#include <QTemporaryDir>
#include <QtEndian>

#include <map>

// Pixel (x, y) of an indexed image is entry f(x, y) of its colour table.
template <typename Index>
QImage Indexed(int width, int height, const QList<QRgb>& colours, Index f, QImage::Format format = QImage::Format_Indexed8) {
  QImage image(width, height, format);
  image.setColorTable(colours);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, f(x, y));
  return image;
}

inline QByteArray BmpOf(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "BMP") ? bytes : QByteArray();
}

inline QByteArray Patched(QByteArray bmp, int at, quint32 value) { return qToLittleEndian(value, bmp.data() + at), bmp; }

// The same image with an info header of size bytes (the added fields zero).
inline QByteArray WithInfoSize(QByteArray bmp, quint32 size) {
  const quint32 offset = qFromLittleEndian<quint32>(bmp.constData() + 10);
  return Patched(Patched(bmp.insert(54, QByteArray(size - 40, '\0')), 14, size), 10, offset + size - 40);
}

inline QByteArray Save(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  QFile file(dir.filePath(name));
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName().toUtf8() : QByteArray();
}

inline bool RegisterBitmapResources(const QTemporaryDir& dir, const std::map<unsigned, QByteArray>& bitmaps) {
  QByteArray qrc = "<RCC><qresource prefix=\"/res/bitmap\">";
  for (const auto& [id, bmp] : bitmaps) qrc += QString("<file alias=\"%1.bmp\">%2</file>").arg(id).arg(Save(dir, QString::number(id), bmp)).toUtf8();
  const QByteArray qrcPath = Save(dir, "bitmaps.qrc", qrc + "</qresource></RCC>"), rcc = dir.filePath("bitmaps.rcc").toUtf8();
  return QProcess::execute(RCC_PROGRAM, {"--binary", "-o", rcc, qrcPath}) == 0 && QResource::registerResource(rcc);
}
