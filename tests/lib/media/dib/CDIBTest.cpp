#include "BmpWriter.h"

#include <zerth/CDIB.h>

#include <gtest/gtest.h>

#include <QPainter>

namespace {

// A colour per index, so that each pixel tells the entry it came from.
QRgb Colour(int i) { return qRgb(i, 255 - i, (i * 7) & 0xFF); }

Bmp Palette(int bits, int colours, quint32 clrUsed, int height = 3) {
  Bmp bmp{bits, 5, height, {}, clrUsed};
  for (int i = 0; i < colours; ++i) bmp.colours.push_back(Colour(i));
  bmp.pixel = [colours](int x, int y) { return quint32(x + 2 * y) % colours; };
  return bmp;
}

struct Loaded : QTemporaryDir {
  explicit Loaded(const Bmp& bmp) : result(dib.LoadFromFile(bmp.Save(*this, "t.bmp").toUtf8())) {}
  CDIB dib;
  int result;
};

TEST(CDIBTest, BuildsThePaletteFromTheColourTableAndKeepsThePixels) {
  struct Case { int bits, colours; quint32 clrUsed; int height; } cases[] = {
      {1, 2, 0, 3}, {4, 16, 0, 3}, {4, 5, 5, 3}, {8, 256, 0, 3}, {8, 5, 5, -3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, biClrUsed " << c.clrUsed << ", height " << c.height);
    Loaded f(Palette(c.bits, c.colours, c.clrUsed, c.height));
    ASSERT_EQ(f.result, 1);
    EXPECT_EQ(f.dib.IsPaletteLoaded(), 1);
    EXPECT_EQ(f.dib.GetWidth(), 5);
    EXPECT_EQ(f.dib.GetHeight(), 3);
    ASSERT_EQ(f.dib.GetPalette()->GetEntryCount(), c.colours);
    EXPECT_EQ(f.dib.GetPalette()->GetVersion(), 0x300);
    std::vector<PALETTEENTRY> entries(c.colours + 1);
    EXPECT_EQ(f.dib.GetPalette()->GetPaletteEntries(0, c.colours + 1, entries.data()), UINT(c.colours));
    for (int i = 0; i < c.colours; ++i) {
      EXPECT_EQ(qRgb(entries[i].peRed, entries[i].peGreen, entries[i].peBlue), Colour(i));
      EXPECT_EQ(entries[i].peFlags, 0);
    }
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(f.dib.GetBits().pixel(x, y), Colour((x + 2 * y) % c.colours));
  }
}

TEST(CDIBTest, TrueColourGivesNoPaletteButDrawsAndStretches) {
  Bmp bmp{24, 4, 2, {}};
  bmp.pixel = [](int x, int y) { return quint32(0x102030 * (x + 1) + y); };
  Loaded f(bmp);
  EXPECT_EQ(f.result, 0);
  EXPECT_EQ(f.dib.IsPaletteLoaded(), 0);
  EXPECT_EQ(f.dib.GetPalette(), nullptr);
  EXPECT_EQ(f.dib.GetWidth(), 0);
  QImage target(4, 2, QImage::Format_RGB32);
  target.fill(Qt::black);
  QPainter painter(&target);
  f.dib.Draw(&painter, 1, 0, 3, 2, 2, 0);  // source columns 2 and 3; the third lies outside
  f.dib.Draw(&painter, 0, 0, 0, 2, 0, 0);  // empty: nothing
  EXPECT_EQ(target.pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(target.pixel(1, 1), 0xFF000000 | (0x102030 * 3 + 1));
  EXPECT_EQ(target.pixel(2, 0), 0xFF000000 | (0x102030 * 4));
  EXPECT_EQ(target.pixel(3, 0), qRgb(0, 0, 0));
  f.dib.Stretch(&painter, 0, 0, 4, 2, 0, 1, 2, 1);  // bottom row's first two pixels, doubled
  EXPECT_EQ(target.pixel(1, 0), 0xFF000000 | (0x102030 + 1));
  EXPECT_EQ(target.pixel(3, 1), 0xFF000000 | (0x102030 * 2 + 1));
}

TEST(CDIBTest, LargerInfoHeadersAreRefusedFromFilesAndAcceptedAsResources) {
  for (const quint32 size : {108u, 124u}) {
    Bmp bmp = Palette(8, 5, 5);
    bmp.infoSize = size;
    Loaded f(bmp);
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.dib.GetBits().pixel(1, 1), Colour(3));  // loaded and drawable all the same
    ASSERT_TRUE(RegisterBitmapResources(f, {{size, bmp}}));
    CDIB resource(size);
    EXPECT_EQ(resource.IsPaletteLoaded(), 1);
    ASSERT_EQ(resource.GetPalette()->GetEntryCount(), 5);
    EXPECT_EQ(resource.GetBits().pixel(1, 1), Colour(3));
  }
  EXPECT_EQ(CDIB(4711u).IsPaletteLoaded(), 0);
}

TEST(CDIBTest, ConvertColorRecoloursExactlyThePixelsOfTheCornerColour) {
  // Entries 1 and 3 are both magenta: pixels of either have the corner's colour.
  const QRgb magenta = qRgb(255, 0, 255);
  Bmp bmp{8, 4, 2, {qRgb(0, 0, 0), magenta, qRgb(0, 255, 0), magenta}, 4};
  bmp.pixel = [](int x, int y) { return quint32(x + y == 0 ? 1 : (x + y) % 4); };
  Loaded f(bmp);
  const QImage before = f.dib.GetBits().convertToFormat(QImage::Format_RGB32);
  f.dib.ConvertColor(4, 0, RGB(1, 2, 3));  // outside the image: nothing
  EXPECT_EQ(f.dib.GetBits().convertToFormat(QImage::Format_RGB32), before);
  f.dib.ConvertColor(0, 0, RGB(0x12, 0x34, 0x56));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(f.dib.GetBits().pixel(x, y), before.pixel(x, y) == magenta ? qRgb(0x12, 0x34, 0x56) : before.pixel(x, y));
  EXPECT_EQ(f.dib.GetPalette()->GetEntryCount(), 4);
}

TEST(CDIBTest, BadFilesAreRefusedAndReleaseWhatWasLoaded) {
  const QByteArray good = Palette(8, 5, 5).Write();
  auto with = [&good](int at, quint32 value) {
    QByteArray bytes = good;
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> 8 * i);
    return bytes;
  };
  const struct { const char* name; QByteArray bytes; int result; } cases[] = {
      {"huge width", with(18, 0x7FFFFFFF), 0}, {"huge height", with(22, 0x40000000), 0},
      {"negative width", with(18, quint32(-5)), 0}, {"no rows", with(22, 0), 0},
      {"most negative height", with(22, 0x80000000), 0}, {"colour table cut", good.left(60), 0},
      {"last row cut", good.chopped(1), 0}, {"offset past the end", with(10, 4096), 0},
      {"offset inside the headers", with(10, 20), 0}, {"biClrUsed huge", with(46, 0xFFFFFFFF), 0},
      {"biClrUsed 257", with(46, 257), 0}, {"core header", with(14, 12), 0},
      {"info header past the end", with(14, 0x7FFFFFFF), 0}, {"3 bits a pixel", with(28, 3), 0},
      {"not BM", with(0, 0), 0}, {"empty", QByteArray(), 0},
      {"bfSize too large", with(2, 0x7FFFFFFF), 1}, {"bfSize too small", with(2, 1), 1}};
  QTemporaryDir dir;
  const QByteArray goodPath = Palette(8, 5, 5).Save(dir, "good.bmp").toUtf8();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QFile file(dir.filePath("bad.bmp"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(c.bytes) == c.bytes.size());
    file.close();
    CDIB dib(goodPath.constData());
    EXPECT_EQ(dib.LoadFromFile(file.fileName().toUtf8()), c.result);
    EXPECT_EQ(dib.IsPaletteLoaded(), c.result);
    EXPECT_EQ(dib.GetPalette() != nullptr, c.result == 1);
    EXPECT_EQ(dib.GetWidth(), c.result ? 5 : 0);
    EXPECT_EQ(dib.GetBits().isNull(), c.result == 0);
  }
  for (const QString& path : {dir.filePath("missing.bmp"), dir.path()}) EXPECT_EQ(CDIB(path.toUtf8().constData()).IsPaletteLoaded(), 0);
}

}  // namespace
