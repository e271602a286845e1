// CSkinButton on the offscreen platform: the region made from a mask, the
// skin and its size, drawing through the mask in each draw mode, pressed
// tracking, hover, and the check box and radio kinds.
#include "CSkinButton.h"
#include "RegionFromMask.h"
#include "SkinIds.h"
#include "SkinResources.h"

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
    if (!QTest::qWaitForWindowExposed(&window)) qWarning("stage not exposed");
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
    QTest::addRow("run reaching the right edge") << Mask({".##"}) << std::vector<QRect>{QRect(1, 0, 2, 1)};
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

  void keyColourComparesWithoutAlpha() {
    QImage mask(2, 1, QImage::Format_ARGB32);
    mask.setPixel(0, 0, 0x00FFFFFF);  // white, though transparent
    mask.setPixel(1, 0, 0xFF000000);
    QCOMPARE(MaskRuns(mask, 0xFFFFFFFF), std::vector<QRect>{QRect(1, 0, 1, 1)});
  }

  void noMaskGivesNoRegion() {
    QVERIFY(!CSkinButton::CreateRegionFromMask(nullptr, 0xFFFFFF));
    const QImage null;
    QVERIFY(!CSkinButton::CreateRegionFromMask(&null, 0xFFFFFF));
  }

  void titleButtonMaskCutsTheFourCornersAndSizesTheButton() {
    Stage stage;
    CSkinButton* button = stage.Add(QRect(30, 20, 15, 14));
    SkinAsHelpButton(button);
    QCOMPARE(button->geometry(), QRect(30, 20, 21, 21));
    QRegion expected(0, 0, 21, 21);
    for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 20), QPoint(20, 20)}) expected -= QRegion(QRect(corner, QSize(1, 1)));
    QCOMPARE(button->mask(), expected);
  }

  void skinWithoutMaskKeepsSizeAndShape() {
    Stage stage;
    CSkinButton* button = stage.Add(QRect(30, 20, 15, 14));
    button->SetSkin(IDB_HELP_NORMAL, 0, 0, 0, 0, 0, CSkinButton::kDrawNatural, false, 0);
    QCOMPARE(button->geometry(), QRect(30, 20, 15, 14));
    QVERIFY(button->mask().isEmpty());
  }

  void stretchAndTileModesKeepTheTemplateSize() {
    for (int mode : {CSkinButton::kDrawStretch, CSkinButton::kDrawTile}) {
      Stage stage;
      CSkinButton* button = stage.Add(QRect(30, 20, 42, 42));
      SkinAsHelpButton(button, mode);
      QCOMPARE(button->size(), QSize(42, 42));
    }
  }

  void focusMarginWithBit8000IsZero_data() {
    QTest::addColumn<int>("given");
    QTest::addColumn<int>("kept");
    QTest::addRow("plain") << 3 << 3;
    QTest::addRow("bit 0x8000") << 0x8003 << 0;
    QTest::addRow("zero") << 0 << 0;
  }
  void focusMarginWithBit8000IsZero() {
    QFETCH(int, given);
    QFETCH(int, kept);
    Stage stage;
    CSkinButton* button = stage.Add(QRect(0, 0, 21, 21));
    button->SetSkin(IDB_HELP_NORMAL, 0, 0, 0, 0, 0, CSkinButton::kDrawNatural, false, given);
    QCOMPARE(button->GetFocusMargin(), kept);
  }

  void naturalModeShowsTheBitmapAndTheParentInTheCutCorners() {
    Stage stage;
    CSkinButton* button = stage.Add(QRect(30, 20, 15, 14));
    SkinAsHelpButton(button);
    stage.Show();
    const QImage picture = stage.Picture();
    const QImage face = LoadSkinBitmap(IDB_HELP_NORMAL);
    for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 20), QPoint(20, 20)})
      QCOMPARE(picture.pixelColor(button->pos() + corner), kParentColour);
    for (QPoint inside : {QPoint(1, 0), QPoint(10, 10), QPoint(20, 1), QPoint(19, 20)})
      QCOMPARE(picture.pixel(button->pos() + inside), Opaque(face.pixel(inside)));
  }

  void stretchModeScalesBitmapAndMaskTogether() {
    Stage stage;
    CSkinButton* button = stage.Add(QRect(30, 20, 42, 42));
    SkinAsHelpButton(button, CSkinButton::kDrawStretch);
    stage.Show();
    const QImage picture = stage.Picture();
    const QImage face = LoadSkinBitmap(IDB_HELP_NORMAL);
    // The region stays the mask's 21 by 21 shape; the drawing fills it
    // with the face at twice its size.
    QCOMPARE(picture.pixelColor(button->pos()), kParentColour);
    // Inside the region but under the stretched mask's white corner: the
    // mask compositing lets the parent show through.
    for (QPoint corner : {QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
      QCOMPARE(picture.pixelColor(button->pos() + corner), kParentColour);
    QCOMPARE(picture.pixel(button->pos() + QPoint(11, 1)), Opaque(face.pixel(5, 0)));
    QCOMPARE(picture.pixel(button->pos() + QPoint(18, 18)), Opaque(face.pixel(9, 9)));
    QCOMPARE(picture.pixelColor(button->pos() + QPoint(30, 30)), kParentColour);  // outside the mask's region
  }

  void tileModeRepeatsTheBitmapAndCutsTheLastColumnAndRow() {
    Stage stage;
    CSkinButton* button = stage.Add(QRect(30, 20, 50, 30));
    button->SetSkin(IDB_CLOSE_NORMAL, 0, 0, 0, 0, 0, CSkinButton::kDrawTile, false, 0);
    stage.Show();
    const QImage picture = stage.Picture();
    const QImage face = LoadSkinBitmap(IDB_CLOSE_NORMAL);
    for (QPoint at : {QPoint(0, 0), QPoint(21, 0), QPoint(42, 0), QPoint(49, 29), QPoint(25, 25), QPoint(7, 22)})
      QCOMPARE(picture.pixel(button->pos() + at), Opaque(face.pixel(at.x() % 21, at.y() % 21)));
  }

  void disabledButtonDrawsTheNormalBitmapWhenItHasNoDisabledOne() {
    Stage stage;
    CSkinButton* button = stage.Add(QRect(30, 20, 15, 14));
    button->SetSkin(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, 0, 0, IDB_CLOSE_MASK,
                    CSkinButton::kDrawNatural, false, 0);
    button->setEnabled(false);
    stage.Show();
    const QImage face = LoadSkinBitmap(IDB_CLOSE_NORMAL);
    QCOMPARE(stage.Picture().pixel(button->pos() + QPoint(10, 10)), Opaque(face.pixel(10, 10)));
  }

  void buttonWithoutBitmapsIsFilledWithButtonFace() {
    Stage stage;
    CSkinButton* button = stage.Add(QRect(30, 20, 20, 20));
    button->SetSkin(0, 0, 0, 0, 0, 0, CSkinButton::kDrawNatural, false, 0);
    stage.Show();
    QCOMPARE(stage.Picture().pixelColor(button->pos() + QPoint(5, 5)), button->palette().color(QPalette::Button));
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
    QVERIFY(button->isDown());
    QVERIFY(button->IsPressedTracking());
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
    QVERIFY(!button->isDown());
    QVERIFY(!button->IsPressedTracking());
    QVERIFY(!QWidget::mouseGrabber());
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
    QCOMPARE(push->GetKind(), CSkinButton::Kind::PushButton);
    push->SetCheck(1);
    QCOMPARE(push->GetCheck(), 0);
    stage.Show();
    QTest::mouseClick(push, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClick(push, Qt::Key_Space);
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
    QTest::mouseClick(radios[3], Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(checks(), (std::vector<int>{0, 1, 0, 1, 0}));
    // Clicking a checked radio keeps it checked.
    QTest::mouseClick(radios[3], Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(checks(), (std::vector<int>{0, 1, 0, 1, 0}));
  }

  void cursorFileHeaderGivesTheHotSpot_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("valid");
    QByteArray cursor("\0\0\2\0\1\0" "\x20\x20\2\0" "\x0c\0\x04\0" "\0\0\0\0\0\0\0\0", 22);
    QTest::addRow("cursor") << cursor << true;
    QTest::addRow("cut short") << cursor.left(21) << false;
    QByteArray icon = cursor;
    icon[2] = 1;
    QTest::addRow("an icon") << icon << false;
    QByteArray none = cursor;
    none[4] = 0;
    QTest::addRow("no images") << none << false;
  }
  void cursorFileHeaderGivesTheHotSpot() {
    QFETCH(QByteArray, file);
    QFETCH(bool, valid);
    const std::optional<QPoint> hotSpot = CursorFileHotSpot(std::span<const char>(file.constData(), std::size_t(file.size())));
    QCOMPARE(hotSpot.has_value(), valid);
    if (valid) QCOMPARE(*hotSpot, QPoint(12, 4));
  }

  void handCursorResourceIs32By32WithItsHotSpot() {
    const QCursor hand = LoadSkinCursor(IDC_HAND_CURSOR, Qt::ArrowCursor);
    QCOMPARE(hand.shape(), Qt::BitmapCursor);
    QCOMPARE(hand.hotSpot(), QPoint(12, 4));
    QCOMPARE(hand.pixmap().size(), QSize(32, 32));
    QCOMPARE(LoadSkinCursor(9999, Qt::ArrowCursor).shape(), Qt::ArrowCursor);
  }
};

QTEST_MAIN(SkinButtonTest)
#include "SkinButtonTest.moc"
