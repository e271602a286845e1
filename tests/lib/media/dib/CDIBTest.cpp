#include "DibFiles.h"

#include <zerth/CDIB.h>

#include <gtest/gtest.h>

#include <QPainter>

namespace {

// A colour per index, so that each pixel tells the entry it came from.
QList<QRgb> Colours(int count) {
  QList<QRgb> colours;
  for (int i = 0; i < count; ++i) colours << qRgb(i, 255 - i, (i * 7) & 0xFF);
  return colours;
}

QImage Sample(int colours, QImage::Format format = QImage::Format_Indexed8) {
  return Indexed(5, 3, Colours(colours), [colours](int x, int y) { return (x + 2 * y) % colours; }, format);
}

QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

struct Loaded : QTemporaryDir {
  explicit Loaded(const QByteArray& bmp) : result(dib.LoadFromFile(Save(*this, "t.bmp", bmp))) {}
  CDIB dib;
  int result;
};

TEST(CDIBTest, BuildsThePaletteFromTheColourTableAndKeepsThePixels) {
  const struct { const char* name; int colours; QByteArray bmp; } cases[] = {
      {"1 bit", 2, BmpOf(Sample(2, QImage::Format_Mono))}, {"4 bits, biClrUsed 0", 16, Patched(BmpOf(Sample(16)), 46, 0)},
      {"4 bits, biClrUsed 5", 5, BmpOf(Sample(5))}, {"8 bits, biClrUsed 0", 256, Patched(BmpOf(Sample(256)), 46, 0)},
      {"8 bits, top-down", 256, Patched(BmpOf(Sample(256).mirrored()), 22, quint32(-3))}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Loaded f(c.bmp);
    ASSERT_EQ(f.result, 1);
    EXPECT_TRUE(f.dib.IsPaletteLoaded() && f.dib.GetWidth() == 5 && f.dib.GetHeight() == 3);
    ASSERT_EQ(f.dib.GetPalette()->GetEntryCount(), c.colours);
    QList<PALETTEENTRY> entries(c.colours + 1);
    EXPECT_EQ(f.dib.GetPalette()->GetPaletteEntries(0, c.colours + 1, entries.data()), UINT(c.colours));
    for (int i = 0; i < c.colours; ++i)
      EXPECT_EQ(qRgba(entries[i].peRed, entries[i].peGreen, entries[i].peBlue, entries[i].peFlags), Colours(c.colours)[i] & RGB_MASK);
    EXPECT_EQ(Rgb(f.dib.GetBits()), Rgb(Sample(c.colours)));
  }
}

TEST(CDIBTest, TrueColourGivesNoPaletteButDraws) {
  const QImage picture = Rgb(Sample(9));
  Loaded f(BmpOf(picture));
  EXPECT_TRUE(!f.result && !f.dib.IsPaletteLoaded() && !f.dib.GetPalette() && !f.dib.GetWidth());
  QImage target(6, 3, QImage::Format_RGB32), expected(6, 3, QImage::Format_RGB32);
  target.fill(Qt::black), expected.fill(Qt::black);
  QPainter painter(&target);
  f.dib.Draw(&painter, 1, 1, 6, 3, 0, 1);  // the image's last two rows; what lies outside it stays
  f.dib.Draw(&painter, 0, 0, -1, 1, 0, 0);  // a negative size: nothing
  for (int i = 0; i < 10; ++i) expected.setPixel(i % 5 + 1, i / 5 + 1, picture.pixel(i % 5, i / 5 + 1));
  EXPECT_EQ(target, expected);
}

TEST(CDIBTest, LargerInfoHeadersAreRefusedFromFilesAndAcceptedAsResources) {
  for (const quint32 size : {108u, 124u}) {
    Loaded f(WithInfoSize(BmpOf(Sample(5)), size));
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(Rgb(f.dib.GetBits()), Rgb(Sample(5)));  // loaded and drawable all the same
    ASSERT_TRUE(RegisterBitmapResources(f, {{size, WithInfoSize(BmpOf(Sample(5)), size)}}));
    CDIB resource(size);
    ASSERT_TRUE(resource.IsPaletteLoaded() && resource.GetPalette()->GetEntryCount() == 5);
    EXPECT_EQ(Rgb(resource.GetBits()), Rgb(Sample(5)));
  }
  EXPECT_EQ(CDIB(4711u).IsPaletteLoaded(), 0);
}

TEST(CDIBTest, ConvertColorRecoloursExactlyThePixelsOfTheCornerColour) {
  // Entries 1 and 3 are both magenta: pixels of either have the corner's colour.
  const QRgb magenta = qRgb(255, 0, 255), black = qRgb(0, 0, 0);
  Loaded f(BmpOf(Indexed(4, 2, {black, magenta, qRgb(0, 255, 0), magenta}, [](int x, int y) { return x + y ? (x + y) % 4 : 1; })));
  const QImage before = Rgb(f.dib.GetBits());
  f.dib.ConvertColor(4, 0, RGB(1, 2, 3));  // outside the image: nothing
  EXPECT_EQ(Rgb(f.dib.GetBits()), before);
  f.dib.ConvertColor(0, 0, RGB(0x12, 0x34, 0x56));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(f.dib.GetBits().pixel(x, y), before.pixel(x, y) == magenta ? qRgb(0x12, 0x34, 0x56) : before.pixel(x, y));
}

TEST(CDIBTest, BadFilesAreRefusedAndReleaseWhatWasLoaded) {
  const QByteArray good = BmpOf(Sample(5)), eightBits = BmpOf(Sample(256));
  const struct { const char* name; QByteArray bytes; int result; } cases[] = {
      {"huge width", Patched(good, 18, 0x7FFFFFFF), 0}, {"huge height", Patched(good, 22, 0x40000000), 0},
      {"negative width", Patched(good, 18, quint32(-5)), 0}, {"no rows", Patched(good, 22, 0), 0},
      {"most negative height", Patched(good, 22, 0x80000000), 0}, {"colour table cut", good.left(60), 0},
      {"last row cut", good.chopped(1), 0}, {"offset past the end", Patched(good, 10, 4096), 0},
      {"offset inside the headers", Patched(good, 10, 20), 0}, {"biClrUsed huge", Patched(good, 46, 0xFFFFFFFF), 0},
      {"biClrUsed 257", Patched(good, 46, 257), 0}, {"core header", Patched(good, 14, 12), 0},
      {"info header past the end", Patched(good, 14, 0x7FFFFFFF), 0}, {"3 bits a pixel", Patched(good, 28, 3), 0},
      {"not BM", Patched(good, 0, 0), 0}, {"empty", QByteArray(), 0},
      {"run-length, 5000 x 5000", Patched(Patched(Patched(eightBits, 18, 5000), 22, 5000), 30, BI_RLE8), 0},
      {"bfSize too large", Patched(good, 2, 0x7FFFFFFF), 1}, {"bfSize too small", Patched(good, 2, 1), 1}};
  QTemporaryDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CDIB dib(Save(dir, "good.bmp", good).constData());
    EXPECT_EQ(dib.LoadFromFile(Save(dir, "bad.bmp", c.bytes)), c.result);
    EXPECT_EQ(dib.IsPaletteLoaded(), c.result);
    EXPECT_TRUE(!dib.GetPalette() == !c.result && dib.GetWidth() == (c.result ? 5 : 0) && dib.GetBits().isNull() == !c.result);
  }
  for (const QString& path : {dir.filePath("missing.bmp"), dir.path()}) EXPECT_EQ(CDIB(path.toUtf8().constData()).IsPaletteLoaded(), 0);
}

}  // namespace
