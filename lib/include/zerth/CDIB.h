// CDIB: one palette-based device-independent bitmap, loaded from a BMP file
// or from a bitmap resource of the running program. It keeps the pixels as a
// QImage and a logical palette built from the image's colour table, draws the
// image (or a rectangle of it) with a QPainter, and can replace one colour
// throughout the image. It owns its image and palette.
//
// Loading checks the headers itself before the pixels are decoded: a BMP
// with dimensions beyond 32,768 pixels a side (or 2^27 pixels), with more
// than 256 colours (biClrUsed above 256), with its colour table or pixel
// rows beyond the end of the data, or with a pixel offset inside the
// headers, is refused: the load returns 0 and the object stays empty.
#pragma once

#include <zerth/Export.h>
#include <zplatform/Gdi.h>

#include <QImage>

#include <memory>

class QFile;
namespace zerth::detail {
enum class BmpHeaderRule;
}

class ZERTH_API CDIB {
public:
  // An empty object.
  CDIB();
  // An empty object, then LoadFromFile(path); test IsPaletteLoaded.
  explicit CDIB(const char* path);
  // An empty object, then LoadFromResource(id); test IsPaletteLoaded.
  explicit CDIB(unsigned id);
  virtual ~CDIB();
  CDIB(const CDIB&) = delete;
  CDIB& operator=(const CDIB&) = delete;

  // Both loaders first release what the object held, then load the pixels
  // whenever the image is readable (a true-colour image too, drawable by its
  // explicit size), and return non-zero when they also built a palette:
  // the image has at most 8 bits a pixel and its colour table is complete.
  // Only then are the width and height set.
  //
  // A BMP file: its info header must be the 40-byte one.
  int LoadFromFile(const char* path);
  // Bitmap resource id of the running program (a .bmp among its resources);
  // larger info headers (108, 124 bytes) are accepted here.
  int LoadFromResource(unsigned id);

  // Copies the cx x cy rectangle at (xSrc, ySrc) of the image to (x, y),
  // unscaled. Only the part of the rectangle inside the image is copied;
  // an empty rectangle copies nothing.
  void Draw(CDC* pDC, int x, int y, int cx, int cy, int xSrc, int ySrc);
  // The same with scaling (nearest pixel) from the cxSrc x cySrc source
  // rectangle to the cxDest x cyDest destination rectangle.
  void Stretch(CDC* pDC, int xDest, int yDest, int cxDest, int cyDest, int xSrc, int ySrc, int cxSrc, int cySrc);

  // Every pixel whose colour equals that of the pixel at (x, y) gets
  // newColour (0x00BBGGRR), exactly: a palette-based image becomes 32 bits a
  // pixel for it, its palette stays. A point outside the image changes nothing.
  void ConvertColor(int x, int y, COLORREF newColour);

  // biWidth, and the number of rows (biHeight without the sign that marks
  // a top-down image); 0 until a palette-based image is loaded.
  long GetWidth() const { return m_nWidth; }
  long GetHeight() const { return m_nHeight; }
  // The logical palette, or null when none was built.
  CPalette* GetPalette() const { return m_pPalette.get(); }
  int IsPaletteLoaded() const { return m_bPaletteLoaded; }
  // The image; null until a load found readable pixels.
  QImage& GetBits() { return m_bitmap; }

private:
  void Release();
  int Load(QFile& file, zerth::detail::BmpHeaderRule rule);

  QImage m_bitmap;
  std::unique_ptr<CPalette> m_pPalette;
  int m_bPaletteLoaded = 0;
  LONG m_nWidth = 0;
  LONG m_nHeight = 0;
};
