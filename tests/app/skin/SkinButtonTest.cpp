// CSkinButton on the offscreen platform: mask regions, skins and draw modes, pressed tracking, hover,
// the check box and radio kinds, and the hand cursor.
#include "ResourceIds.h"
#include "skin/CSkinButton.h"
#include "skin/RegionFromMask.h"
#include "skin/SkinResources.h"

#include <QSignalSpy>
#include <QTest>

using namespace tarvo;

namespace {

const QColor kParentColour{0, 128, 64};
const QPoint kCentre(10, 10), kOff(60, 60);

// A mask from rows of '#' (black), '.' (white) and ',' (white, though transparent).
QImage Mask(const std::vector<const char*>& rows) {
  QImage image(int(std::strlen(rows[0])), int(rows.size()), QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const char c = rows[std::size_t(y)][x];
      image.setPixel(x, y, c == '#' ? 0xFF000000 : c == '.' ? 0xFFFFFFFF : 0x00FFFFFF);
    }
  return image;
}

// The pixel of a skin bitmap, as painted opaque.
QRgb Skin(UINT id, QPoint at) { return LoadSkinBitmap(id).pixel(at) | 0xFF000000u; }

// A plain window of one colour holding the buttons under test.
struct Stage {
  QWidget window;
  Stage() {
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, kParentColour);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.resize(240, 120);
  }
  // A button with the help button's bitmaps in the given draw mode; unskinned for mode -1.
  CSkinButton* Add(QRect place, DWORD style = CSkinButton::BS_PUSHBUTTON, int mode = CSkinButton::kDrawNatural) {
    auto* button = new CSkinButton(&window, style);  // owned by the window
    button->setGeometry(place);
    if (mode >= 0) button->SetSkin(IDB_HELP_NORMAL, IDB_HELP_PRESSED, IDB_HELP_HOVER, 0, 0, IDB_HELP_MASK, mode, false, 0);
    return button;
  }
  void Show() {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) QTest::qFail("stage not exposed", __FILE__, __LINE__);
  }
  // The rendered pixel at a point of the button.
  QRgb At(const CSkinButton* button, QPoint at) {
    QImage picture(window.size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    window.render(&picture);
    return picture.pixel(button->pos() + at);
  }
};

}  // namespace

class SkinButtonTest : public QObject {
  Q_OBJECT

private slots:
  // Runs gathered bottom up, one rectangle each; colours compare without alpha.
  void maskRunsMakeTheRegion() {
    const std::pair<std::vector<const char*>, std::vector<QRect>> cases[] = {
        {{"#.#"}, {QRect(0, 0, 1, 1), QRect(2, 0, 1, 1)}},
        {{"##,"}, {QRect(0, 0, 2, 1)}},
        {{"...", "..#"}, {QRect(2, 1, 1, 1)}},
        {{"###", "###"}, {QRect(0, 1, 3, 1), QRect(0, 0, 3, 1)}},  // rows never join
        {{"..", ",."}, {}},
    };
    for (const auto& [rows, runs] : cases) {
      const QImage mask = Mask(rows);
      QCOMPARE(MaskRuns(mask, 0xFFFFFFFF), runs);
      QRegion expected;
      for (const QRect& run : runs) expected += run;
      QCOMPARE(CSkinButton::CreateRegionFromMask(&mask, 0x00FFFFFF), std::optional<QRegion>(expected));
    }
    const QImage null;
    QVERIFY(!CSkinButton::CreateRegionFromMask(nullptr, 0xFFFFFF) && !CSkinButton::CreateRegionFromMask(&null, 0xFFFFFF));
  }

  // Only natural mode with a mask resizes; bit 0x8000 makes the focus margin 0. Stretched, the region
  // stays the mask's shape while the face doubles; tiled, the face repeats; a disabled button without
  // its own bitmap draws the normal one, and one without bitmaps the button face.
  void skinsKeepTheTemplateSizeAndDrawInTheirMode() {
    Stage stage;
    CSkinButton* stretch = stage.Add(QRect(30, 5, 42, 42), CSkinButton::BS_PUSHBUTTON, -1);
    stretch->SetSkin(IDB_HELP_NORMAL, 0, 0, 0, 0, IDB_HELP_MASK, CSkinButton::kDrawStretch, false, 0x8003);
    CSkinButton* tile = stage.Add(QRect(80, 5, 50, 30), CSkinButton::BS_PUSHBUTTON, -1);
    tile->SetSkin(IDB_CLOSE_NORMAL, 0, 0, 0, 0, 0, CSkinButton::kDrawTile, false, 0);
    CSkinButton* tileWithMask = stage.Add(QRect(200, 60, 30, 30), CSkinButton::BS_PUSHBUTTON, CSkinButton::kDrawTile);
    CSkinButton* disabled = stage.Add(QRect(140, 5, 15, 14), CSkinButton::BS_PUSHBUTTON, -1);
    disabled->SetSkin(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, 0, 0, IDB_CLOSE_MASK, 0, false, 0);
    disabled->setEnabled(false);
    CSkinButton* plain = stage.Add(QRect(170, 5, 20, 20), CSkinButton::BS_PUSHBUTTON, -1);
    plain->SetSkin(0, 0, 0, 0, 0, 0, CSkinButton::kDrawNatural, false, 3);
    stage.Show();
    QCOMPARE(QList({stretch->geometry(), tileWithMask->geometry(), plain->geometry()}),
             QList({QRect(30, 5, 42, 42), QRect(200, 60, 30, 30), QRect(170, 5, 20, 20)}));
    QVERIFY(!stretch->mask().isEmpty() && plain->mask().isEmpty());
    QVERIFY(stretch->GetFocusMargin() == 0 && plain->GetFocusMargin() == 3);
    for (QPoint parent : {QPoint(1, 0), QPoint(1, 1), QPoint(30, 30)}) QCOMPARE(stage.At(stretch, parent), kParentColour.rgb());
    QCOMPARE(stage.At(stretch, QPoint(11, 1)), Skin(IDB_HELP_NORMAL, QPoint(5, 0)));
    QCOMPARE(stage.At(stretch, QPoint(18, 18)), Skin(IDB_HELP_NORMAL, QPoint(9, 9)));
    for (QPoint p : {QPoint(0, 0), QPoint(42, 0), QPoint(49, 29), QPoint(7, 22)})
      QCOMPARE(stage.At(tile, p), Skin(IDB_CLOSE_NORMAL, QPoint(p.x() % 21, p.y() % 21)));
    QCOMPARE(stage.At(disabled, kCentre), Skin(IDB_CLOSE_NORMAL, kCentre));
    QCOMPARE(stage.At(plain, QPoint(5, 5)), plain->palette().color(QPalette::Button).rgb());
  }

  // Pressed shows only while the pointer is over the button, and only a release there clicks.
  void pressedAndHoverFollowThePointer() {
    for (bool backOn : {false, true}) {
      Stage stage;
      CSkinButton* button = stage.Add(QRect(30, 20, 15, 14));
      stage.Show();
      QSignalSpy clicked(button, &QPushButton::clicked);
      QTest::mousePress(button, Qt::LeftButton, {}, kCentre);
      QVERIFY(button->isDown() && button->IsPressedTracking() && QWidget::mouseGrabber() == button);
      QTest::mouseMove(button, kOff);
      QVERIFY(!button->isDown());
      QCOMPARE(stage.At(button, kCentre), Skin(IDB_HELP_NORMAL, kCentre));
      if (backOn) QTest::mouseMove(button, kCentre);
      QCOMPARE(stage.At(button, kCentre), Skin(backOn ? IDB_HELP_PRESSED : IDB_HELP_NORMAL, kCentre));
      QTest::mouseRelease(button, Qt::LeftButton, {}, backOn ? kCentre : kOff);
      QCOMPARE(clicked.size(), backOn ? 1 : 0);
      QVERIFY(!button->isDown() && !button->IsPressedTracking() && !QWidget::mouseGrabber());
      if (!backOn) continue;
      QTest::mouseMove(&stage.window, QPoint(150, 90));
      QTRY_VERIFY(!button->IsHovering());
      QCOMPARE(stage.At(button, kCentre), Skin(IDB_HELP_NORMAL, kCentre));
      QTest::mouseMove(button, kCentre);
      QTRY_VERIFY(button->IsHovering());
      QCOMPARE(stage.At(button, kCentre), Skin(IDB_HELP_HOVER, kCentre));
    }
  }

  // A check box toggles by click and space; a radio clears the other buttons of its group only.
  void checkBoxPushButtonAndRadioKinds() {
    Stage stage;
    CSkinButton* box = stage.Add(QRect(30, 20, 15, 14), CSkinButton::BS_AUTOCHECKBOX);
    CSkinButton* push = stage.Add(QRect(80, 20, 15, 14));
    std::vector<CSkinButton*> radios;
    for (int i = 0; i < 5; ++i) radios.push_back(stage.Add(QRect(10 + 40 * i, 60, 21, 21), CSkinButton::BS_AUTORADIOBUTTON, -1));
    CSkinButton::SetGroupStart(radios[0], true);
    CSkinButton::SetGroupStart(radios[3], true);  // a second group: 3 and 4
    stage.Show();
    QTest::mouseClick(box, Qt::LeftButton, {}, kCentre);
    QCOMPARE(box->GetCheck(), 1);
    QCOMPARE(stage.At(box, kCentre), Skin(IDB_HELP_PRESSED, kCentre));  // pressed while checked
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(box->GetCheck(), 0);
    QTest::mousePress(box, Qt::LeftButton, {}, kCentre);  // released off the box: no toggle
    QTest::mouseMove(box, kOff);
    QTest::mouseRelease(box, Qt::LeftButton, {}, kOff);
    QCOMPARE(box->GetCheck(), 0);
    push->SetCheck(1);
    QTest::mouseClick(push, Qt::LeftButton, {}, kCentre);
    QCOMPARE(push->GetCheck(), 0);  // a push button never stays checked
    auto checks = [&radios] {
      QCoreApplication::sendPostedEvents();
      std::vector<int> out;
      for (CSkinButton* radio : radios) out.push_back(radio->GetCheck());
      return out;
    };
    radios[0]->SetCheck(1);
    radios[4]->SetCheck(1);
    QCOMPARE(checks(), (std::vector<int>{1, 0, 0, 0, 1}));
    QTest::mouseClick(radios[2], Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(checks(), (std::vector<int>{0, 0, 1, 0, 1}));
    QTest::keyClick(radios[1], Qt::Key_Space);
    QCOMPARE(checks(), (std::vector<int>{0, 1, 0, 0, 1}));
    for (int twice = 0; twice < 2; ++twice) QTest::mouseClick(radios[3], Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(checks(), (std::vector<int>{0, 1, 0, 1, 0}));  // clicking a checked radio keeps it checked
  }

  void handCursorTakesTheHotSpotOfItsFileHeader() {
    const QByteArray cursor("\0\0\2\0\1\0" "\x20\x20\2\0" "\x0c\0\x04\0" "\0\0\0\0\0\0\0\0", 22);
    const QByteArray icon = QByteArray(cursor).replace(2, 1, "\1");
    auto hotSpot = [](const QByteArray& file) { return CursorFileHotSpot(std::span<const char>(file.constData(), std::size_t(file.size()))); };
    QCOMPARE(hotSpot(cursor), std::optional<QPoint>(QPoint(12, 4)));
    QVERIFY(!hotSpot(cursor.left(21)) && !hotSpot(icon));
    QCOMPARE(LoadSkinCursor(IDC_HAND_CURSOR, Qt::ArrowCursor).pixmap().size(), QSize(32, 32));
    QCOMPARE(LoadSkinCursor(9999, Qt::ArrowCursor).shape(), Qt::ArrowCursor);
  }
};

QTEST_MAIN(SkinButtonTest)
#include "SkinButtonTest.moc"
