// CDIB and CAniButton on BMP files written by Qt's own BMP writer (1 bit a
// pixel for a mono image, 4 for up to 16 colours, 8 for more, 24 for RGB32,
// and biClrUsed = the colour count) with header fields patched, and on the
// program's bitmap resources :/res/bitmap/<id>.bmp compiled by Qt's resource
// compiler; the button on the offscreen platform.
#include <zerth/CAniButton.h>
#include <zerth/CDIB.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QResource>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>
#include <QtEndian>

#include <gtest/gtest.h>

#include <map>

namespace {

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

constexpr int kFrameWidth = 4, kFrameHeight = 3, kId = 1001;
const QRgb kMagenta = qRgb(255, 0, 255), kBlack = qRgb(0, 0, 0), kGrey = qRgb(9, 9, 9), kFace = 1;

// Cell (frame, row) has a colour of its own; the first pixel of every
// column is magenta, the strip's top-left colour.
QRgb Cell(int frame, int row) { return qRgb(40 * row + 1, 10 * frame + 1, 200); }

QByteArray Strip(int frames) {
  QList<QRgb> colours{kMagenta};
  for (int i = 0; i < 3 * frames; ++i) colours << Cell(i % frames, i / frames);
  return BmpOf(Indexed(frames * kFrameWidth, 3 * kFrameHeight, colours, [frames](int x, int y) {
    return x % kFrameWidth ? 1 + y / kFrameHeight * frames + x / kFrameWidth : 0;
  }));
}

// The animated button on a dialog's button of one frame's size (the dialog goes first).
struct Probe : CAniButton {
  using CAniButton::m_nCurrentFrame, CAniButton::m_nTimerId, CAniButton::m_nFrameCount;
  QWidget dialog;
  QPushButton* button = new QPushButton(&dialog);
  Probe() { button->setObjectName(QString::number(kId)), button->resize(kFrameWidth, kFrameHeight); }
  auto Timers() { return QAbstractEventDispatcher::instance()->registeredTimers(button); }
  QRgb Shown() { return button->grab().toImage().pixel(1, 1); }
};

// A QApplication for the widgets, and the strips of four frames and of one.
struct CAniButtonTest : ::testing::Test {
  int m_argc = 0;
  QApplication m_app{m_argc, nullptr};
  QTemporaryDir m_dir;
  QByteArray m_strip = Save(m_dir, "4.bmp", Strip(4)), m_single = Save(m_dir, "1.bmp", Strip(1));
};

TEST_F(CAniButtonTest, DrawsTheFrameOfTheStateRowCentredOrStretched) {
  const struct { const char* name; int frames, stretch, ticks; UINT state; QSize size; QPoint at; QRgb colour; } cases[] = {
      {"last frame", 4, 0, 3, 0, {4, 3}, {1, 1}, Cell(3, 0)}, {"after the last the first", 4, 0, 4, 0, {4, 3}, {1, 1}, Cell(0, 0)},
      {"focused: row 1", 4, 0, 1, ODS_FOCUS, {4, 3}, {1, 1}, Cell(1, 1)},
      {"pressed: row 2", 4, 0, 1, ODS_SELECTED, {4, 3}, {1, 1}, Cell(1, 2)},
      {"pressed with the focus", 4, 0, 1, ODS_SELECTED | ODS_FOCUS, {4, 3}, {1, 1}, Cell(1, 2)},
      {"one frame, from x = 1", 1, 0, 3, 0, {4, 3}, {0, 0}, Cell(0, 0)},
      {"centred: odd pixel right", 4, 0, 0, 0, {7, 4}, {0, 0}, kBlack}, {"centred", 4, 0, 0, 0, {7, 4}, {1, 0}, Cell(0, 0)},
      {"centred: the next column's edge", 4, 0, 0, 0, {7, 4}, {4, 0}, kMagenta},
      {"centred: right margin", 4, 0, 0, 0, {7, 4}, {5, 0}, kBlack}, {"centred: bottom", 4, 0, 0, 0, {7, 4}, {1, 3}, kBlack},
      {"stretched", 4, 1, 0, 0, {8, 6}, {0, 5}, Cell(0, 0)}, {"stretched, converted", 4, 1, 0, 0, {8, 6}, {7, 5}, kFace}};
  for (const auto& c : cases) {
    Probe probe;
    ASSERT_EQ(probe.AutoLoad(kId, &probe.dialog, (c.frames > 1 ? m_strip : m_single).constData(), nullptr, 8, c.frames, c.stretch, c.stretch, 0), 1);
    for (int tick = 0; tick < c.ticks; ++tick) probe.OnTimer(CAniButton::kTimerId);
    QImage target(c.size, QImage::Format_RGB32);
    target.fill(kBlack);
    QPainter painter(&target);
    DRAWITEMSTRUCT item;
    item.itemState = c.state, item.hDC = &painter, item.rcItem = {0, 0, c.size.width(), c.size.height()};
    probe.DrawItem(&item);
    EXPECT_EQ(target.pixel(c.at), c.colour == kFace ? probe.button->palette().color(QPalette::Button).rgb() : c.colour) << c.name;
  }
}

TEST_F(CAniButtonTest, RunsTheTimerAtItsIntervalAndShowsItsFrames) {
  const struct { int frames, fps, interval; } cases[] = {{4, 8, 125}, {4, 500, 10}, {1, 8, 0}};
  for (const auto& c : cases) {
    Probe probe;
    ASSERT_EQ(probe.AutoLoad(kId, &probe.dialog, (c.frames > 1 ? m_strip : m_single).constData(), nullptr, c.fps, c.frames, 0, 0, 0), 1);
    EXPECT_EQ(probe.m_nTimerId, c.interval ? CAniButton::kTimerId : 0u);
    ASSERT_EQ(probe.Timers().size(), c.interval ? 1 : 0);
    if (!c.interval) continue;
    EXPECT_EQ(probe.Timers()[0].interval, c.interval);
    ASSERT_TRUE(QTest::qWaitFor([&] { return probe.Shown() != Cell(0, 0); }, 5000));  // the timer ticks, the button shows it
    probe.button->setDown(true);
    EXPECT_EQ(probe.Shown(), Cell(probe.m_nCurrentFrame, 2));
  }
}

TEST_F(CAniButtonTest, DisablingStopsTheAnimation) {
  const QByteArray grey = BmpOf(Indexed(kFrameWidth, 3 * kFrameHeight, {kGrey}, [](int, int) { return 0; }));
  ASSERT_TRUE(RegisterBitmapResources(m_dir, {{300, Strip(4)}, {301, grey}}));
  for (const bool withImage : {true, false}) {
    Probe probe;  // without a frame count, the disabled image's width gives it
    ASSERT_EQ(probe.AutoLoad(kId, &probe.dialog, 300u, withImage ? 301u : 0u, 8, withImage ? 0 : 4, 0, 0, 0), 1);
    EXPECT_EQ(probe.m_nFrameCount, 4u);
    probe.OnTimer(CAniButton::kTimerId), probe.OnTimer(CAniButton::kTimerId);
    probe.button->setEnabled(false);
    EXPECT_EQ(probe.Shown(), withImage ? kGrey : Cell(2, 0));
    EXPECT_TRUE(!probe.m_nTimerId && !probe.m_nCurrentFrame && probe.Timers().isEmpty());
    EXPECT_EQ(probe.Shown(), withImage ? kGrey : Cell(0, 0));
    probe.button->setEnabled(true);
    EXPECT_EQ(probe.Shown(), Cell(0, 0));
    EXPECT_EQ(probe.Timers().size(), 1);
  }
}

TEST_F(CAniButtonTest, RefusesWhatItCannotAnimate) {
  const QByteArray trueColour = Save(m_dir, "rgb.bmp", BmpOf(QImage(8, 9, QImage::Format_RGB32)));
  const struct { UINT id; QByteArray normal; const char* disabled; UINT frames, fps; } cases[] = {
      {7, m_strip, nullptr, 4, 8}, {kId, trueColour, nullptr, 4, 8}, {kId, m_strip, "none.bmp", 4, 8},
      {kId, m_strip, nullptr, 0, 8}, {kId, m_strip, nullptr, 4, 0}};
  for (const auto& c : cases) {
    Probe probe;
    EXPECT_EQ(probe.AutoLoad(c.id, &probe.dialog, c.normal.constData(), c.disabled, c.fps, c.frames, 0, 0, 0), 0);
    EXPECT_TRUE(!probe.GetButton() && probe.Timers().isEmpty());
  }
}

}  // namespace
