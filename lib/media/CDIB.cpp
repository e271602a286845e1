#include <zerth/CDIB.h>

#include "BmpHeader.h"

#include <zplatform/Resources.h>

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <span>
#include <string>

using zerth::detail::BmpHeaderRule;

namespace {

constexpr WORD kPaletteVersion = 0x300;

// The bytes a loader reads ahead of the pixels: the file header, the largest
// info header version (124 bytes) and a colour table of 256 entries.
constexpr qint64 kHeadSize = kBitmapFileHeaderSize + 124 + 256 * 4;

std::span<const BYTE> AsBytes(const QByteArray& bytes) {
  return {reinterpret_cast<const BYTE*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

}  // namespace

CDIB::CDIB() = default;

CDIB::CDIB(const char* path) { LoadFromFile(path); }

CDIB::CDIB(unsigned id) { LoadFromResource(id); }

CDIB::~CDIB() = default;

int CDIB::LoadFromFile(const char* path) {
  Release();
  if (!path) return 0;
  QFile file(QString::fromUtf8(path));
  return Load(file, BmpHeaderRule::File);
}

int CDIB::LoadFromResource(unsigned id) {
  Release();
  // The program's bitmap resources are whole .bmp files: the info header
  // follows the file header there.
  const std::string path = zplatform::ResourcePath(zplatform::ResourceKind::Bitmap, id);
  if (path.empty()) return 0;
  QFile resource(QString::fromStdString(path));
  return Load(resource, BmpHeaderRule::Resource);
}

int CDIB::Load(QFile& file, BmpHeaderRule rule) {
  // Only a file of known size can be checked against what its header says.
  if (!file.open(QIODevice::ReadOnly) || file.isSequential()) return 0;
  const QByteArray head = file.read(kHeadSize);
  const auto header = zerth::detail::ReadBmpHeader(AsBytes(head));
  if (!header || !zerth::detail::BmpPixelsWithinData(*header, static_cast<std::uint64_t>(file.size()))) return 0;
  // The pixels are read from the file already open, so they come from the
  // data just checked even when the path is replaced meanwhile.
  QImage pixels;
  if (!file.seek(0) || !QImageReader(&file, "bmp").read(&pixels)) return 0;
  m_bitmap = std::move(pixels);
  auto entries = zerth::detail::ReadBmpPalette(*header, AsBytes(head), rule);
  if (!entries) return 0;
  m_pPalette = std::make_unique<CPalette>(kPaletteVersion, std::move(*entries));
  m_bPaletteLoaded = 1;
  m_nWidth = header->info.biWidth;
  m_nHeight = header->info.biHeight < 0 ? -header->info.biHeight : header->info.biHeight;
  return 1;
}

void CDIB::Release() {
  m_bitmap = QImage();
  m_pPalette.reset();
  m_bPaletteLoaded = 0;
  m_nWidth = 0;
  m_nHeight = 0;
}

void CDIB::Draw(CDC* pDC, int x, int y, int cx, int cy, int xSrc, int ySrc) {
  Stretch(pDC, x, y, cx, cy, xSrc, ySrc, cx, cy);
}

void CDIB::Stretch(CDC* pDC, int xDest, int yDest, int cxDest, int cyDest, int xSrc, int ySrc, int cxSrc,
                   int cySrc) {
  // QPainter reads an empty source rectangle as "the rest of the image":
  // an empty rectangle copies nothing here, as with BitBlt.
  if (!pDC || m_bitmap.isNull() || cxDest <= 0 || cyDest <= 0 || cxSrc <= 0 || cySrc <= 0) return;
  // On a palette device the palette is selected and realised around the
  // copy; Qt paints in true colour, so there is none to select. QPainter
  // clips the source rectangle to the image and the target with it.
  pDC->save();
  pDC->setCompositionMode(QPainter::CompositionMode_Source);  // a plain copy (SRCCOPY)
  pDC->setRenderHint(QPainter::SmoothPixmapTransform, false);
  pDC->drawImage(QRect(xDest, yDest, cxDest, cyDest), m_bitmap, QRect(xSrc, ySrc, cxSrc, cySrc));
  pDC->restore();
}

void CDIB::ConvertColor(int x, int y, COLORREF newColour) {
  if (!m_bitmap.valid(x, y)) return;
  const QRgb matched = m_bitmap.pixel(x, y) & RGB_MASK;
  // Indexed pixels could take the new colour only as the nearest entry of
  // the colour table; 32 bits a pixel take it exactly.
  const QImage::Format wide = m_bitmap.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  if (m_bitmap.format() != wide) m_bitmap.convertTo(wide);
  const QRgb replacement = qRgb(GetRValue(newColour), GetGValue(newColour), GetBValue(newColour)) & RGB_MASK;
  for (int row = 0; row < m_bitmap.height(); ++row) {
    auto* pixel = reinterpret_cast<QRgb*>(m_bitmap.scanLine(row));
    for (int column = 0; column < m_bitmap.width(); ++column, ++pixel) {
      if ((*pixel & RGB_MASK) == matched) *pixel = (*pixel & ~RGB_MASK) | replacement;
    }
  }
}
