#include "BmpWriter.h"

#include <zerth/CAniButton.h>

#include <QAbstractEventDispatcher>
#include <QPainter>
#include <QtTest>

namespace {

constexpr int kFrameWidth = 4, kFrameHeight = 3, kFrames = 4, kButtonId = 1001;
const QRgb kMagenta = qRgb(255, 0, 255), kBlack = qRgb(0, 0, 0), kDisabledColour = qRgb(9, 9, 9);

// Cell (frame, row) of the strip has a colour of its own; the first pixel
// of every column is magenta, the strip's top-left colour.
QRgb Cell(int frame, int row) { return qRgb(40 * row + 1, 10 * frame + 1, 200); }

Bmp Strip(int frames) {
  Bmp bmp{8, frames * kFrameWidth, 3 * kFrameHeight, {kMagenta}};
  for (int row = 0; row < 3; ++row)
    for (int frame = 0; frame < frames; ++frame) bmp.colours.push_back(Cell(frame, row));
  bmp.clrUsed = quint32(bmp.colours.size());
  bmp.pixel = [frames](int x, int y) { return x % kFrameWidth ? quint32(1 + y / kFrameHeight * frames + x / kFrameWidth) : 0u; };
  return bmp;
}

struct Probe : CAniButton {
  using CAniButton::m_nCurrentFrame, CAniButton::m_nTimerId, CAniButton::m_nFrameCount, CAniButton::m_pNormal;
};

// The button's timers as the event dispatcher holds them.
QList<QAbstractEventDispatcher::TimerInfo> Timers(QObject* button) {
  return QAbstractEventDispatcher::instance()->registeredTimers(button);
}

QImage Render(CAniButton& button, UINT state, QSize size) {
  QImage target(size, QImage::Format_RGB32);
  target.fill(kBlack);
  QPainter painter(&target);
  DRAWITEMSTRUCT item;
  item.itemState = state, item.hDC = &painter, item.rcItem = {0, 0, size.width(), size.height()};
  button.DrawItem(&item);
  return target;
}

// A dialog with the push button to take over, of one frame's size.
struct Dialog : QWidget {
  Dialog() { button->setObjectName(QString::number(kButtonId)), button->setGeometry(0, 0, kFrameWidth, kFrameHeight); }
  QPushButton* button = new QPushButton(this);
  QRgb Shown() { return button->grab().toImage().pixel(1, 1); }
};

}  // namespace

class CAniButtonTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  QByteArray m_strip, m_single, m_disabled, m_trueColour;

private slots:
  void initTestCase() {
    m_strip = Strip(kFrames).Save(m_dir, "strip.bmp").toUtf8(), m_single = Strip(1).Save(m_dir, "single.bmp").toUtf8();
    m_trueColour = Bmp{24, 8, 9, {}}.Save(m_dir, "true.bmp").toUtf8();
    Bmp disabled{8, kFrameWidth, 3 * kFrameHeight, {kDisabledColour}, 1};
    m_disabled = disabled.Save(m_dir, "disabled.bmp").toUtf8();
    QVERIFY(RegisterBitmapResources(m_dir, {{300, Strip(kFrames)}, {301, disabled}}));
  }

  void framesCycleOnTheTimerAtItsInterval_data() {
    QTest::addColumn<int>("frames"); QTest::addColumn<int>("fps"); QTest::addColumn<int>("interval");
    QTest::newRow("4 frames at 8 per second") << 4 << 8 << 125;
    QTest::newRow("1000 / 3 rounds down") << 4 << 3 << 333;
    QTest::newRow("no faster than a window timer") << 4 << 500 << 10;
    QTest::newRow("one frame: no timer") << 1 << 8 << 0;
  }
  void framesCycleOnTheTimerAtItsInterval() {
    QFETCH(int, frames); QFETCH(int, fps); QFETCH(int, interval);
    Probe probe;
    Dialog dialog;
    QCOMPARE(probe.AutoLoad(kButtonId, &dialog, (frames > 1 ? m_strip : m_single).constData(), nullptr, fps, frames, 0, 0, 0), 1);
    QCOMPARE(Timers(dialog.button).size(), interval ? 1 : 0);
    QCOMPARE(probe.m_nTimerId, interval ? CAniButton::kTimerId : 0u);
    if (interval) QCOMPARE(Timers(dialog.button)[0].interval, interval);
    for (int tick = 0; tick <= frames; ++tick, probe.OnTimer(CAniButton::kTimerId)) {
      QCOMPARE(dialog.Shown(), Cell(tick % frames, 0));
      QCOMPARE(Render(probe, 0, {kFrameWidth, kFrameHeight}).pixel(0, 0), Cell(tick % frames, 0));  // from x = 1
    }
    if (interval) QTRY_VERIFY_WITH_TIMEOUT(probe.m_nCurrentFrame != 1, 5000);  // the real timer ticks
  }

  void rowsFollowPressedAndFocused_data() {
    QTest::addColumn<UINT>("state"); QTest::addColumn<int>("row");
    QTest::newRow("normal") << 0u << 0;
    QTest::newRow("focused") << ODS_FOCUS << 1;
    QTest::newRow("pressed") << ODS_SELECTED << 2;
    QTest::newRow("pressed with the focus") << (ODS_SELECTED | ODS_FOCUS) << 2;
  }
  void rowsFollowPressedAndFocused() {
    QFETCH(UINT, state); QFETCH(int, row);
    Probe probe;
    Dialog dialog;
    QCOMPARE(probe.AutoLoad(kButtonId, &dialog, m_strip.constData(), nullptr, 8, kFrames, 0, 0, 0), 1);
    probe.OnTimer(CAniButton::kTimerId);
    QCOMPARE(Render(probe, state, {kFrameWidth, kFrameHeight}).pixel(1, 1), Cell(1, row));
    dialog.button->setDown(true);
    QCOMPARE(dialog.Shown(), Cell(1, 2));
  }

  void disablingStopsTheAnimation_data() {
    QTest::addColumn<bool>("withImage");
    QTest::newRow("with a disabled image") << true;
    QTest::newRow("without one") << false;
  }
  void disablingStopsTheAnimation() {
    QFETCH(bool, withImage);
    Probe probe;
    Dialog dialog;  // the frame count comes from the disabled image's width
    QCOMPARE(probe.AutoLoad(kButtonId, &dialog, 300u, withImage ? 301u : 0u, 8, withImage ? 0 : kFrames, 0, 0, 0), 1);
    QCOMPARE(probe.m_nFrameCount, UINT(kFrames));
    probe.OnTimer(CAniButton::kTimerId), probe.OnTimer(CAniButton::kTimerId);
    dialog.button->setEnabled(false);
    QCOMPARE(dialog.Shown(), withImage ? kDisabledColour : Cell(2, 0));
    QCOMPARE(probe.m_nTimerId, 0u); QCOMPARE(probe.m_nCurrentFrame, 0); QVERIFY(Timers(dialog.button).isEmpty());
    QCOMPARE(dialog.Shown(), withImage ? kDisabledColour : Cell(0, 0));
    dialog.button->setEnabled(true);
    QCOMPARE(dialog.Shown(), Cell(0, 0));
    QCOMPARE(probe.m_nTimerId, CAniButton::kTimerId); QCOMPARE(Timers(dialog.button).size(), 1);
  }

  void centresWithTheOddPixelRightAndBottomOrStretches() {
    Probe probe;
    Dialog dialog;
    QCOMPARE(probe.AutoLoad(kButtonId, &dialog, m_strip.constData(), nullptr, 8, kFrames, 0, 0, 0), 1);
    const QImage centred = Render(probe, 0, {kFrameWidth + 3, kFrameHeight + 1});
    const QRgb expected[] = {kBlack, Cell(0, 0), Cell(0, 0), Cell(0, 0), kMagenta, kBlack, kBlack};
    for (int x = 0; x < kFrameWidth + 3; ++x) QCOMPARE(centred.pixel(x, 0), expected[x]);
    QCOMPARE(centred.pixel(1, kFrameHeight), kBlack);
    QCOMPARE(probe.AutoLoad(kButtonId, &dialog, m_strip.constData(), nullptr, 8, kFrames, 1, 0, 0), 1);
    const QImage stretched = Render(probe, 0, {2 * kFrameWidth, 2 * kFrameHeight});
    QCOMPARE(stretched.pixel(0, 0), Cell(0, 0)); QCOMPARE(stretched.pixel(0, 5), Cell(0, 0));
    QCOMPARE(stretched.pixel(7, 5), kMagenta);
  }

  void convertsTheTopLeftColourToTheButtonFace() {
    Probe probe;
    Dialog dialog;
    QCOMPARE(probe.AutoLoad(kButtonId, &dialog, m_strip.constData(), m_disabled.constData(), 8, kFrames, 0, 1, 0), 1);
    const QRgb face = dialog.button->palette().color(QPalette::Button).rgb();
    const QImage before = CDIB(m_strip.constData()).GetBits();
    for (int y = 0; y < before.height(); ++y)
      for (int x = 0; x < before.width(); ++x)
        QCOMPARE(probe.m_pNormal->GetBits().pixel(x, y), before.pixel(x, y) == kMagenta ? face : before.pixel(x, y));
  }

  void refusesWhatItCannotAnimate_data() {
    QTest::addColumn<UINT>("id"); QTest::addColumn<QByteArray>("normal"); QTest::addColumn<QByteArray>("disabled");
    QTest::addColumn<UINT>("frames"); QTest::addColumn<UINT>("fps");
    QTest::newRow("no such button") << 7u << m_strip << QByteArray() << 4u << 8u;
    QTest::newRow("true-colour strip") << UINT(kButtonId) << m_trueColour << QByteArray() << 4u << 8u;
    QTest::newRow("missing disabled image") << UINT(kButtonId) << m_strip << QByteArray("none.bmp") << 4u << 8u;
    QTest::newRow("no frame count, no disabled image") << UINT(kButtonId) << m_strip << QByteArray() << 0u << 8u;
    QTest::newRow("no frames per second") << UINT(kButtonId) << m_strip << QByteArray() << 4u << 0u;
  }
  void refusesWhatItCannotAnimate() {
    QFETCH(UINT, id); QFETCH(QByteArray, normal); QFETCH(QByteArray, disabled); QFETCH(UINT, frames); QFETCH(UINT, fps);
    Probe probe;
    Dialog dialog;
    QCOMPARE(probe.AutoLoad(id, &dialog, normal.constData(), disabled.isNull() ? nullptr : disabled.constData(), fps, frames, 0, 0, 0), 0);
    QCOMPARE(probe.GetButton(), nullptr); QVERIFY(Timers(dialog.button).isEmpty());
  }
};

QTEST_MAIN(CAniButtonTest)
#include "CAniButtonTest.moc"
