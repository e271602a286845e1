// The shaped main window on the offscreen platform: the traced outline and
// the region it makes, the logo link and its hand cursor, dragging by the
// body, the title buttons' skins, and the rendered shape.
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "skin/SkinResources.h"
#include "TarvoStrings.h"
#include "skin/WindowOutline.h"
#include "skin/WindowShape.h"

#include <zplatform/UiServices.h>

#include <QApplication>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace tarvo;

namespace {

std::vector<std::string> g_opened;

const zplatform::UiHooks g_hooks{
    {},
    {},
    [](const std::string& target) {
      g_opened.push_back(target);
      return true;
    },
};

QPoint Vertex(std::size_t i) { return {WindowOutline[i], WindowOutline[kWindowOutlineVertices + i]}; }

const QPoint kBackgroundOrigin(3, 3);

// The dialog rendered with its shape: outside it the picture stays clear.
QImage Rendered(CTarvoDlg& dlg) {
  QImage picture(dlg.size(), QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  // render() puts the top-left of the shaped part at the offset given.
  dlg.render(&picture, dlg.mask().boundingRect().topLeft());
  return picture;
}

}  // namespace

class MainWindowSkinTest : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<CTarvoDlg> ShowDialog() {
    auto dlg = std::make_unique<CTarvoDlg>();
    dlg->move(100, 80);
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    if (!QTest::qWaitForWindowActive(dlg.get())) QTest::qFail("main dialog did not become active", __FILE__, __LINE__);
    return dlg;
  }

private slots:
  void initTestCase() {
    RegisterStrings();
    zplatform::SetUiHooks(&g_hooks);
  }
  void cleanupTestCase() { zplatform::SetUiHooks(nullptr); }
  void init() { g_opened.clear(); }

  void outlineIsAClosedPixelTraceClockwiseFromTheUpperLeftArc() {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    long long twiceArea = 0;
    for (std::size_t i = 0; i < kWindowOutlineVertices; ++i) {
      const QPoint a = Vertex(i), b = Vertex((i + 1) % kWindowOutlineVertices);
      const QPoint step = b - a;
      QVERIFY2(std::abs(step.x()) <= 1 && std::abs(step.y()) <= 1 && step != QPoint(0, 0),
               qPrintable(QStringLiteral("vertex %1").arg(i)));
      left = std::min(left, a.x());
      right = std::max(right, a.x());
      top = std::min(top, a.y());
      bottom = std::max(bottom, a.y());
      twiceArea += qint64(a.x()) * b.y() - qint64(b.x()) * a.y();
    }
    QCOMPARE(QRect(QPoint(left, top), QPoint(right, bottom)), QRect(QPoint(13, 10), QPoint(551, 411)));
    QVERIFY(twiceArea > 0);  // clockwise with y growing downwards
    const QPoint first = Vertex(0);
    QVERIFY(first.x() > 13 && first.x() < 73 && first.y() > 10 && first.y() < 70);
    // A simple polygon: both fill rules give the same region.
    QCOMPARE(WindowOutlineRegion(), QRegion(WindowOutlinePolygon(), Qt::WindingFill));
  }

  void outlineRegionHoldsEveryControlButNotTheCorners() {
    CTarvoDlg dlg;
    const QRegion shape = WindowOutlineRegion();
    QCOMPARE(dlg.mask(), shape);
    for (QWidget* child : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (child->objectName() == "background" || child->isWindow()) continue;
      QVERIFY2(shape.contains(child->geometry()) && (shape & QRegion(child->geometry())) == QRegion(child->geometry()),
               qPrintable(child->objectName()));
    }
    for (QPoint corner : {QPoint(13, 10), QPoint(550, 10), QPoint(13, 410), QPoint(550, 410)}) QVERIFY(!shape.contains(corner));
  }

  // Over the logo the pointer is the hand; a click there opens the web site and starts no drag.
  void logoIsALinkWithTheHandCursor() {
    auto dlg = ShowDialog();
    const QRect logo = dlg->GetDlgItem(IDC_HOTSPOT)->geometry();
    const QPoint before = dlg->pos();
    QTest::mouseMove(dlg.get(), logo.bottomRight() + QPoint(3, 3));
    QCOMPARE(dlg->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(dlg.get(), logo.topLeft() + QPoint(2, 2));
    QCOMPARE(dlg->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(dlg->cursor().hotSpot(), QPoint(12, 4));
    QTest::mousePress(dlg.get(), Qt::LeftButton, {}, logo.center());
    QTest::mouseMove(dlg.get(), logo.center() + QPoint(20, 15));
    QTest::mouseRelease(dlg.get(), Qt::LeftButton, {}, logo.center() + QPoint(20, 15));
    QCOMPARE(g_opened, std::vector<std::string>{"http://www.tarvo.example"});
    QCOMPARE(dlg->pos(), before);
  }

  void draggingTheBodyMovesTheWindowByThePointersOffset() {
    auto dlg = ShowDialog();
    const QPoint start = dlg->pos();
    const QPoint body(300, 30);  // the title, on the background picture
    QTest::mousePress(dlg.get(), Qt::LeftButton, {}, body);
    QCOMPARE(QWidget::mouseGrabber(), dlg.get());
    QTest::mouseMove(dlg.get(), body + QPoint(40, 25));
    QTRY_COMPARE(dlg->pos(), start + QPoint(40, 25));
    QTest::mouseMove(dlg.get(), body + QPoint(-15, 5));
    QTRY_COMPARE(dlg->pos(), start + QPoint(25, 30));
    QTest::mouseRelease(dlg.get(), Qt::LeftButton, {}, body + QPoint(-15, 5));
    QVERIFY(!QWidget::mouseGrabber());
    QVERIFY(g_opened.empty());
  }

  void renderedWindowIsClearOutsideItsOutlineAndShowsTheBackgroundInButtonCorners() {
    auto dlg = ShowDialog();
    const QImage picture = Rendered(*dlg);
    const QRegion shape = WindowOutlineRegion();
    int outside = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const int alpha = qAlpha(picture.pixel(x, y));
        if (!shape.contains(QPoint(x, y))) {
          ++outside;
          QVERIFY2(alpha == 0, qPrintable(QStringLiteral("painted outside at (%1, %2)").arg(x).arg(y)));
        } else {
          QVERIFY2(alpha == 255, qPrintable(QStringLiteral("clear inside at (%1, %2)").arg(x).arg(y)));
        }
      }
    }
    QVERIFY(outside > 20000);

    const QImage background = LoadSkinBitmap(IDB_BACKGROUND);
    QCOMPARE(background.size(), QSize(557, 411));
    QCOMPARE(picture.pixel(100, 395), background.pixel(QPoint(100, 395) - kBackgroundOrigin));
    for (auto [id, face] : {std::pair{IDC_HELP_BUTTON, IDB_HELP_NORMAL}, std::pair{IDC_CLOSE_BUTTON, IDB_CLOSE_NORMAL}}) {
      const QPoint origin = dlg->GetDlgItem(id)->pos();
      for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 20), QPoint(20, 20)})
        QCOMPARE(picture.pixel(origin + corner), background.pixel(origin + corner - kBackgroundOrigin));
      for (QPoint inside : {QPoint(1, 0), QPoint(10, 10)}) QCOMPARE(picture.pixel(origin + inside), LoadSkinBitmap(face).pixel(inside));
    }
  }
};

QTEST_MAIN(MainWindowSkinTest)
#include "MainWindowSkinTest.moc"
