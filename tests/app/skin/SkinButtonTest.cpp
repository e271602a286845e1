// CSkinButton on the offscreen platform: the region made from a mask, the
// skin and its size, drawing through the mask in each draw mode, pressed
// tracking, hover, and the check box and radio kinds.
#include "skin/CSkinButton.h"
#include "skin/RegionFromMask.h"
#include "ResourceIds.h"
#include "skin/SkinResources.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

using namespace tarvo;

Q_DECLARE_METATYPE(std::vector<QRect>)

namespace {

const QColor kParentColour{0, 128, 64};

// A mask from rows of '#' (black) and '.' (white).
QImage Mask(const std::vector<const char*>& rows) {
  QImage image(int(std::strlen(rows[0])), int(rows.size()), QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, rows[std::size_t(y)][x] == '#' ? 0xFF000000 : 0xFFFFFFFF);
  return image;
}

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
  CSkinButton* Add(QRect geometry, DWORD style = CSkinButton::BS_PUSHBUTTON) {
    auto* button = new CSkinButton(&window, style);  // owned by the window
    button->setGeometry(geometry);
    return button;
  }
  void Show() {
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) QTest::qFail("stage not exposed", __FILE__, __LINE__);
  }
  QImage Picture() {
    QImage picture(window.size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    window.render(&picture);
    return picture;
  }
};

QRgb Opaque(QRgb colour) { return colour | 0xFF000000u; }

// The title help button's skin, as the main dialog sets it.
void SkinAsHelpButton(CSkinButton* button, int drawMode = CSkinButton::kDrawNatural) {
  button->SetSkin(IDB_HELP_NORMAL, IDB_HELP_PRESSED, IDB_HELP_HOVER, IDB_HELP_NORMAL, IDB_HELP_NORMAL, IDB_HELP_MASK,
                  drawMode, false, 0);
}

}  // namespace

class SkinButtonTest : public QObject {
  Q_OBJECT

private slots:
  void maskRunsGoBottomUpOneRectanglePerRun_data() {
    QTest::addColumn<QImage>("mask");
    QTest::addColumn<std::vector<QRect>>("runs");
    QTest::addRow("white middle of three") << Mask({"#.#"}) << std::vector<QRect>{QRect(0, 0, 1, 1), QRect(2, 0, 1, 1)};
    QTest::addRow("white last of three") << Mask({"##."}) << std::vector<QRect>{QRect(0, 0, 2, 1)};
    QTest::addRow("only bottom right black") << Mask({"...", "..#"}) << std::vector<QRect>{QRect(2, 1, 1, 1)};
    QTest::addRow("rows never join, bottom first")
        << Mask({"###", "###"}) << std::vector<QRect>{QRect(0, 1, 3, 1), QRect(0, 0, 3, 1)};
    QTest::addRow("all white") << Mask({"..", ".."}) << std::vector<QRect>{};
  }
  void maskRunsGoBottomUpOneRectanglePerRun() {
    QFETCH(QImage, mask);
    QFETCH(std::vector<QRect>, runs);
    QCOMPARE(MaskRuns(mask, 0xFFFFFF), runs);
    QRegion expected;
    for (const QRect& run : runs) expected += run;
    const std::optional<QRegion> region = CSkinButton::CreateRegionFromMask(&mask, 0xFFFFFF);
    QVERIFY(region);
    QCOMPARE(*region, expected);
  }

  void keyColourComparesWithoutAlphaAndNoMaskGivesNoRegion() {
    QImage mask(2, 1, QImage::Format_ARGB32);
    mask.setPixel(0, 0, 0x00FFFFFF);  // white, though transparent
    mask.setPixel(1, 0, 0xFF000000);
    QCOMPARE(MaskRuns(mask, 0xFFFFFFFF), std::vector<QRect>{QRect(1, 0, 1, 1)});
    const QImage null;
    QVERIFY(!CSkinButton::CreateRegionFromMask(nullptr, 0xFFFFFF) && !CSkinButton::CreateRegionFromMask(&null, 0xFFFFFF));
  }

  // Only natural mode with a mask resizes; bit 0x8000 makes the focus margin 0.
  void otherSkinsKeepTheTemplateSize() {
    struct Case {
      UINT mask;
      int mode, margin, keptMargin;
    };
    for (Case c : {Case{0, CSkinButton::kDrawNatural, 3, 3}, Case{IDB_HELP_MASK, CSkinButton::kDrawStretch, 0x8003, 0},
                   Case{IDB_HELP_MASK, CSkinButton::kDrawTile, 0, 0}}) {
      Stage stage;
      CSkinButton* button = stage.Add(QRect(30, 20, 42, 42));
      button->SetSkin(IDB_HELP_NORMAL, 0, 0, 0, 0, c.mask, c.mode, false, c.margin);
      QCOMPARE(button->geometry(), QRect(30, 20, 42, 42));
      QCOMPARE(button->mask().isEmpty(), c.mask == 0);
      QCOMPARE(button->GetFocusMargin(), c.keptMargin);
    }
  }

  // The title button's mask cuts the four corners and sizes the button; each
  // draw mode composites through the mask; a disabled button without its own
  // bitmap draws the normal one, and one without bitmaps the button face.
  void drawModesPaintThroughTheMask() {
    Stage stage;
    CSkinButton* natural = stage.Add(QRect(5, 5, 15, 14));
    SkinAsHelpButton(natural);
    QCOMPARE(natural->geometry(), QRect(5, 5, 21, 21));
    QRegion title(0, 0, 21, 21);
    for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 20), QPoint(20, 20)}) title -= QRegion(QRect(corner, QSize(1, 1)));
    QCOMPARE(natural->mask(), title);
    CSkinButton* stretch = stage.Add(QRect(30, 5, 42, 42));
    SkinAsHelpButton(stretch, CSkinButton::kDrawStretch);
    CSkinButton* tile = stage.Add(QRect(80, 5, 50, 30));
    tile->SetSkin(IDB_CLOSE_NORMAL, 0, 0, 0, 0, 0, CSkinButton::kDrawTile, false, 0);
    CSkinButton* disabled = stage.Add(QRect(140, 5, 15, 14));
    disabled->SetSkin(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, 0, 0, IDB_CLOSE_MASK, CSkinButton::kDrawNatural, false, 0);
    disabled->setEnabled(false);
    CSkinButton* plain = stage.Add(QRect(170, 5, 20, 20));
    plain->SetSkin(0, 0, 0, 0, 0, 0, CSkinButton::kDrawNatural, false, 0);
    stage.Show();
    const QImage picture = stage.Picture();
    const QImage help = LoadSkinBitmap(IDB_HELP_NORMAL), close = LoadSkinBitmap(IDB_CLOSE_NORMAL);
    auto at = [&picture](CSkinButton* button, QPoint offset) { return picture.pixel(button->pos() + offset); };
    for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 20), QPoint(20, 20)})
      QCOMPARE(at(natural, corner), kParentColour.rgb());
    for (QPoint inside : {QPoint(1, 0), QPoint(10, 10), QPoint(19, 20)}) QCOMPARE(at(natural, inside), Opaque(help.pixel(inside)));
    // Stretched: the region stays the mask's 21 by 21 shape, the face doubles,
    // and under the stretched mask's white corner the parent shows.
    for (QPoint parent : {QPoint(1, 0), QPoint(1, 1), QPoint(30, 30)}) QCOMPARE(at(stretch, parent), kParentColour.rgb());
    QCOMPARE(at(stretch, QPoint(11, 1)), Opaque(help.pixel(5, 0)));
    QCOMPARE(at(stretch, QPoint(18, 18)), Opaque(help.pixel(9, 9)));
    for (QPoint p : {QPoint(0, 0), QPoint(42, 0), QPoint(49, 29), QPoint(7, 22)})
      QCOMPARE(at(tile, p), Opaque(close.pixel(p.x() % 21, p.y() % 21)));
    QCOMPARE(at(disabled, QPoint(10, 10)), Opaque(close.pixel(10, 10)));
    QCOMPARE(at(plain, QPoint(5, 5)), plain->palette().color(QPalette::Button).rgb());
  }

  void pressedLookFollowsThePointerAndOnlyAReleaseOnTheButtonClicks_data() {
    QTest::addColumn<bool>("backOn");
    QTest::addRow("released off the button") << false;
    QTest::addRow("moved back before release") << true;
  }
  void pressedLookFollowsThePointerAndOnlyAReleaseOnTheButtonClicks() {
    QFETCH(bool, backOn);
    Stage stage;
    CSkinButton* button = stage.Add(QRect(30, 20, 15, 14));
    SkinAsHelpButton(button);
    stage.Show();
    QSignalSpy clicked(button, &QPushButton::clicked);
    const QPoint centre(10, 10);
    QTest::mousePress(button, Qt::LeftButton, {}, centre);
    QVERIFY(button->isDown() && button->IsPressedTracking());
    QCOMPARE(QWidget::mouseGrabber(), button);

    QTest::mouseMove(button, QPoint(60, 60));
    QVERIFY(!button->isDown());
    const QImage face = LoadSkinBitmap(IDB_HELP_NORMAL);
    QCOMPARE(stage.Picture().pixel(button->pos() + centre), Opaque(face.pixel(centre)));
    QPoint releaseAt(60, 60);
    if (backOn) {
      QTest::mouseMove(button, centre);
      QVERIFY(button->isDown());
      const QImage pressed = LoadSkinBitmap(IDB_HELP_PRESSED);
      QCOMPARE(stage.Picture().pixel(button->pos() + centre), Opaque(pressed.pixel(centre)));
      releaseAt = centre;
    }
    QTest::mouseRelease(button, Qt::LeftButton, {}, releaseAt);
    QCOMPARE(clicked.size(), backOn ? 1 : 0);
    QVERIFY(!button->isDown() && !button->IsPressedTracking() && !QWidget::mouseGrabber());
  }

  void hoverShowsTheHoverBitmapUntilThePointerLeaves() {
    Stage stage;
    CSkinButton* button = stage.Add(QRect(30, 20, 15, 14));
    SkinAsHelpButton(button);
    stage.Show();
    const QPoint centre(10, 10);
    QTest::mouseMove(&stage.window, QPoint(150, 90));
    QTest::mouseMove(button, centre);
    QTRY_VERIFY(button->IsHovering());
    QCOMPARE(stage.Picture().pixel(button->pos() + centre), Opaque(LoadSkinBitmap(IDB_HELP_HOVER).pixel(centre)));
    QTest::mouseMove(&stage.window, QPoint(150, 90));
    QTRY_VERIFY(!button->IsHovering());
    QCOMPARE(stage.Picture().pixel(button->pos() + centre), Opaque(LoadSkinBitmap(IDB_HELP_NORMAL).pixel(centre)));
  }

  void checkBoxTogglesByClickAndSpaceAndShowsPressedWhileChecked() {
    Stage stage;
    CSkinButton* box = stage.Add(QRect(30, 20, 15, 14), CSkinButton::BS_AUTOCHECKBOX);
    SkinAsHelpButton(box);
    stage.Show();
    QCOMPARE(box->GetKind(), CSkinButton::Kind::CheckBox);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(box->GetCheck(), 1);
    QCOMPARE(stage.Picture().pixel(box->pos() + QPoint(10, 10)), Opaque(LoadSkinBitmap(IDB_HELP_PRESSED).pixel(10, 10)));
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(box->GetCheck(), 0);
    // Pressed on the box but released off it: no toggle.
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(box, QPoint(80, 80));
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(80, 80));
    QCOMPARE(box->GetCheck(), 0);
  }

  void pushButtonNeverStaysChecked() {
    Stage stage;
    CSkinButton* push = stage.Add(QRect(30, 20, 15, 14));
    stage.Show();
    push->SetCheck(1);
    QTest::mouseClick(push, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(push->GetCheck(), 0);
  }

  void radioClearsTheOtherButtonsOfItsGroupOnly() {
    Stage stage;
    std::vector<CSkinButton*> radios;
    for (int i = 0; i < 5; ++i) radios.push_back(stage.Add(QRect(10 + 40 * i, 20, 21, 21), CSkinButton::BS_AUTORADIOBUTTON));
    CSkinButton::SetGroupStart(radios[0], true);
    CSkinButton::SetGroupStart(radios[3], true);  // a second group: 3 and 4
    stage.Show();
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
    for (int twice = 0; twice < 2; ++twice) {  // clicking a checked radio keeps it checked
      QTest::mouseClick(radios[3], Qt::LeftButton, {}, QPoint(5, 5));
      QCOMPARE(checks(), (std::vector<int>{0, 1, 0, 1, 0}));
    }
  }

  void cursorFileHeaderGivesTheHotSpot() {
    const QByteArray cursor("\0\0\2\0\1\0" "\x20\x20\2\0" "\x0c\0\x04\0" "\0\0\0\0\0\0\0\0", 22);
    QByteArray icon = cursor;
    icon[2] = 1;
    auto hotSpot = [](const QByteArray& file) { return CursorFileHotSpot(std::span<const char>(file.constData(), std::size_t(file.size()))); };
    QCOMPARE(hotSpot(cursor), std::optional<QPoint>(QPoint(12, 4)));
    QVERIFY(!hotSpot(cursor.left(21)) && !hotSpot(icon));
  }

  void handCursorResourceIs32By32WithItsHotSpot() {
    const QCursor hand = LoadSkinCursor(IDC_HAND_CURSOR, Qt::ArrowCursor);
    QCOMPARE(hand.hotSpot(), QPoint(12, 4));
    QCOMPARE(hand.pixmap().size(), QSize(32, 32));
    QCOMPARE(LoadSkinCursor(9999, Qt::ArrowCursor).shape(), Qt::ArrowCursor);
  }
};

QTEST_MAIN(SkinButtonTest)
#include "SkinButtonTest.moc"
