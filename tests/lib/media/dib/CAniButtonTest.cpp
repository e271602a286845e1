#include "DibFiles.h"

#include <zerth/CAniButton.h>

#include <QAbstractEventDispatcher>
#include <QPainter>
#include <QtTest>

namespace {

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

}  // namespace

class CAniButtonTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  QByteArray m_strip = Save(m_dir, "4.bmp", Strip(4)), m_single = Save(m_dir, "1.bmp", Strip(1));

private slots:
  void drawsTheFrameOfTheStateRowCentredOrStretched() {
    const struct { const char* name; int frames, stretch, ticks; UINT state; QSize size; QPoint at; QRgb colour; } cases[] = {
        {"first frame", 4, 0, 0, 0, {4, 3}, {1, 1}, Cell(0, 0)}, {"last frame", 4, 0, 3, 0, {4, 3}, {1, 1}, Cell(3, 0)},
        {"after the last the first", 4, 0, 4, 0, {4, 3}, {1, 1}, Cell(0, 0)},
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
      QCOMPARE(probe.AutoLoad(kId, &probe.dialog, (c.frames > 1 ? m_strip : m_single).constData(), nullptr, 8, c.frames, c.stretch, c.stretch, 0), 1);
      for (int tick = 0; tick < c.ticks; ++tick) probe.OnTimer(CAniButton::kTimerId);
      QImage target(c.size, QImage::Format_RGB32);
      target.fill(kBlack);
      QPainter painter(&target);
      DRAWITEMSTRUCT item;
      item.itemState = c.state, item.hDC = &painter, item.rcItem = {0, 0, c.size.width(), c.size.height()};
      probe.DrawItem(&item);
      QVERIFY2(target.pixel(c.at) == (c.colour == kFace ? probe.button->palette().color(QPalette::Button).rgb() : c.colour), c.name);
    }
  }

  void runsTheTimerAtItsIntervalAndShowsItsFrames() {
    const struct { int frames, fps, interval; } cases[] = {{4, 8, 125}, {4, 3, 333}, {4, 500, 10}, {1, 8, 0}};
    for (const auto& c : cases) {
      Probe probe;
      QCOMPARE(probe.AutoLoad(kId, &probe.dialog, (c.frames > 1 ? m_strip : m_single).constData(), nullptr, c.fps, c.frames, 0, 0, 0), 1);
      QCOMPARE(probe.m_nTimerId, c.interval ? CAniButton::kTimerId : 0u);
      QCOMPARE(probe.Timers().size(), c.interval ? 1 : 0);
      if (!c.interval) continue;
      QCOMPARE(probe.Timers()[0].interval, c.interval);
      QTRY_VERIFY_WITH_TIMEOUT(probe.Shown() != Cell(0, 0), 5000);  // the timer ticks, the button shows it
      probe.button->setDown(true);
      QCOMPARE(probe.Shown(), Cell(probe.m_nCurrentFrame, 2));
    }
  }

  void disablingStopsTheAnimation() {
    const QByteArray grey = BmpOf(Indexed(kFrameWidth, 3 * kFrameHeight, {kGrey}, [](int, int) { return 0; }));
    QVERIFY(RegisterBitmapResources(m_dir, {{300, Strip(4)}, {301, grey}}));
    for (const bool withImage : {true, false}) {
      Probe probe;  // without a frame count, the disabled image's width gives it
      QCOMPARE(probe.AutoLoad(kId, &probe.dialog, 300u, withImage ? 301u : 0u, 8, withImage ? 0 : 4, 0, 0, 0), 1);
      QCOMPARE(probe.m_nFrameCount, 4u);
      probe.OnTimer(CAniButton::kTimerId), probe.OnTimer(CAniButton::kTimerId);
      probe.button->setEnabled(false);
      QCOMPARE(probe.Shown(), withImage ? kGrey : Cell(2, 0));
      QVERIFY(!probe.m_nTimerId && !probe.m_nCurrentFrame && probe.Timers().isEmpty());
      QCOMPARE(probe.Shown(), withImage ? kGrey : Cell(0, 0));
      probe.button->setEnabled(true);
      QCOMPARE(probe.Shown(), Cell(0, 0));
      QCOMPARE(probe.Timers().size(), 1);
    }
  }

  void refusesWhatItCannotAnimate() {
    const QByteArray trueColour = Save(m_dir, "rgb.bmp", BmpOf(QImage(8, 9, QImage::Format_RGB32)));
    const struct { UINT id; QByteArray normal; const char* disabled; UINT frames, fps; } cases[] = {
        {7, m_strip, nullptr, 4, 8}, {kId, trueColour, nullptr, 4, 8}, {kId, m_strip, "none.bmp", 4, 8},
        {kId, m_strip, nullptr, 0, 8}, {kId, m_strip, nullptr, 4, 0}};
    for (const auto& c : cases) {
      Probe probe;
      QCOMPARE(probe.AutoLoad(c.id, &probe.dialog, c.normal.constData(), c.disabled, c.fps, c.frames, 0, 0, 0), 0);
      QVERIFY(!probe.GetButton() && probe.Timers().isEmpty());
    }
  }
};

QTEST_MAIN(CAniButtonTest)
#include "CAniButtonTest.moc"
