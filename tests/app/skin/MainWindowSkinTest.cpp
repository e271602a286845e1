// The shaped main window on the offscreen platform: outline and region, the logo link, dragging by
// the body, and the rendered shape with the title buttons' skins.
#include "../AppTestKit.h"
#include "skin/SkinResources.h"
#include "skin/WindowOutline.h"
#include "skin/WindowShape.h"

using namespace tarvo;
using namespace apptest;

class MainWindowSkinTest : public QObject {
  Q_OBJECT

  std::unique_ptr<testui::UiRecorder> m_ui;
  std::unique_ptr<CTarvoDlg> m_dlg;

private slots:
  void initTestCase() { RegisterStrings(); }
  void init() {
    m_ui = std::make_unique<testui::UiRecorder>(testui::UiRecorder::kShell);
    m_dlg = std::make_unique<CTarvoDlg>();
    m_dlg->move(100, 80);
    ShowActive(*m_dlg);
  }
  void cleanup() { m_dlg.reset(), m_ui.reset(); }

  // Clockwise from the upper-left arc in steps of one pixel; the region holds every control but not the corners.
  void outlineIsAClosedPixelTraceThatHoldsEveryControl() {
    auto vertex = [](std::size_t i) { return QPoint(WindowOutline[i], WindowOutline[kWindowOutlineVertices + i]); };
    QRect bounds(vertex(0), QSize(1, 1));
    long long twiceArea = 0;
    for (std::size_t i = 0; i < kWindowOutlineVertices; ++i) {
      const QPoint a = vertex(i), b = vertex((i + 1) % kWindowOutlineVertices);
      QVERIFY2(std::abs((b - a).x()) <= 1 && std::abs((b - a).y()) <= 1 && a != b, qPrintable(QString::number(i)));
      bounds |= QRect(a, QSize(1, 1));
      twiceArea += qint64(a.x()) * b.y() - qint64(b.x()) * a.y();
    }
    QCOMPARE(bounds, QRect(QPoint(13, 10), QPoint(551, 411)));
    QVERIFY(twiceArea > 0);  // clockwise with y growing downwards
    QVERIFY(QRect(14, 11, 59, 59).contains(vertex(0)));  // on the upper-left arc
    const QRegion shape = WindowOutlineRegion();
    QCOMPARE(shape, QRegion(WindowOutlinePolygon(), Qt::WindingFill));
    QCOMPARE(m_dlg->mask(), shape);
    for (QWidget* child : m_dlg->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (child->objectName() == "background" || child->isWindow()) continue;
      QVERIFY2((shape & QRegion(child->geometry())) == QRegion(child->geometry()), qPrintable(child->objectName()));
    }
    for (QPoint corner : {QPoint(13, 10), QPoint(550, 10), QPoint(13, 410), QPoint(550, 410)}) QVERIFY(!shape.contains(corner));
  }

  // A click on the logo opens the web site and starts no drag; the body drags the window.
  void logoIsALinkAndTheBodyDragsTheWindow() {
    const QRect logo = Item(*m_dlg, IDC_HOTSPOT)->geometry();
    const QPoint start = m_dlg->pos();
    QTest::mouseMove(m_dlg.get(), logo.bottomRight() + QPoint(3, 3));
    QCOMPARE(m_dlg->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(m_dlg.get(), logo.topLeft() + QPoint(2, 2));
    QCOMPARE(m_dlg->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(m_dlg->cursor().hotSpot(), QPoint(12, 4));
    QTest::mousePress(m_dlg.get(), Qt::LeftButton, {}, logo.center());
    QTest::mouseMove(m_dlg.get(), logo.center() + QPoint(20, 15));
    QTest::mouseRelease(m_dlg.get(), Qt::LeftButton, {}, logo.center() + QPoint(20, 15));
    QCOMPARE(m_ui->opened, std::vector<std::string>{"http://www.tarvo.example"});
    QCOMPARE(m_dlg->pos(), start);

    const QPoint body(300, 30);  // the title, on the background picture
    QTest::mousePress(m_dlg.get(), Qt::LeftButton, {}, body);
    QCOMPARE(QWidget::mouseGrabber(), m_dlg.get());
    QTest::mouseMove(m_dlg.get(), body + QPoint(40, 25));
    QTRY_COMPARE(m_dlg->pos(), start + QPoint(40, 25));
    QTest::mouseMove(m_dlg.get(), body + QPoint(-15, 5));
    QTRY_COMPARE(m_dlg->pos(), start + QPoint(25, 30));
    QTest::mouseRelease(m_dlg.get(), Qt::LeftButton, {}, body + QPoint(-15, 5));
    QVERIFY(!QWidget::mouseGrabber());
    QCOMPARE(m_ui->opened.size(), std::size_t{1});
  }

  void renderedWindowIsClearOutsideItsOutlineAndShowsTheBackgroundInButtonCorners() {
    QImage picture(m_dlg->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    m_dlg->render(&picture, m_dlg->mask().boundingRect().topLeft());  // the shaped part's top-left goes there
    const QRegion shape = WindowOutlineRegion();
    int outside = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) {
        const int alpha = qAlpha(picture.pixel(x, y)), expected = shape.contains(QPoint(x, y)) ? 255 : 0;
        if (alpha != expected) QFAIL(qPrintable(QStringLiteral("alpha %1 at (%2, %3)").arg(alpha).arg(x).arg(y)));
        outside += !expected;
      }
    QVERIFY(outside > 20000);
    const QImage background = LoadSkinBitmap(IDB_BACKGROUND);
    const QPoint origin(3, 3);  // of the background picture
    QCOMPARE(background.size(), QSize(557, 411));
    QCOMPARE(picture.pixel(100, 395), background.pixel(QPoint(100, 395) - origin));
    for (auto [id, face] : {std::pair{IDC_HELP_BUTTON, IDB_HELP_NORMAL}, std::pair{IDC_CLOSE_BUTTON, IDB_CLOSE_NORMAL}}) {
      const QPoint at = Item(*m_dlg, id)->pos();
      for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 20), QPoint(20, 20)})
        QCOMPARE(picture.pixel(at + corner), background.pixel(at + corner - origin));
      for (QPoint inside : {QPoint(1, 0), QPoint(10, 10)}) QCOMPARE(picture.pixel(at + inside), LoadSkinBitmap(face).pixel(inside));
    }
  }
};

QTEST_MAIN(MainWindowSkinTest)
#include "MainWindowSkinTest.moc"
