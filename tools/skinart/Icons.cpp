// The logo medallion, the title buttons, the icons, the image strip and the
// hand cursor.
#include "Art.h"
#include "skin/SkinGeometry.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

namespace skinart {
namespace {

// Paints on a transparent square of this size, in a 32 by 32 coordinate box.
template <typename Draw>
QImage OnSquare(int size, Draw draw) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.scale(size / 32.0, size / 32.0);
  draw(painter);
  return image;
}

QLinearGradient Vertical(double top, double bottom, QColor from, QColor to) {
  QLinearGradient gradient(0, top, 0, bottom);
  gradient.setColorAt(0.0, from);
  gradient.setColorAt(1.0, to);
  return gradient;
}

void PaintFolder(QPainter& painter, QRectF box) {
  const double w = box.width(), h = box.height();
  QPainterPath tab;
  tab.addRoundedRect(QRectF(box.left(), box.top(), w * 0.45, h * 0.3), w * 0.06, w * 0.06);
  painter.setPen(QPen(QColor(150, 100, 20), w / 16.0));
  painter.setBrush(QColor(230, 180, 60));
  painter.drawPath(tab);
  painter.setBrush(Vertical(box.top(), box.bottom(), QColor(255, 215, 110), QColor(225, 165, 45)));
  painter.drawRoundedRect(QRectF(box.left(), box.top() + h * 0.18, w, h * 0.82), w * 0.06, w * 0.06);
}

void PaintCard(QPainter& painter, QRectF box) {
  const double w = box.width(), h = box.height();
  painter.setPen(QPen(QColor(60, 80, 120), w / 16.0));
  painter.setBrush(QColor(245, 248, 255));
  painter.drawRoundedRect(box, w * 0.08, w * 0.08);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(50, 100, 190));
  painter.drawEllipse(QPointF(box.left() + w * 0.3, box.top() + h * 0.38), w * 0.12, w * 0.12);
  painter.drawPie(QRectF(box.left() + w * 0.12, box.top() + h * 0.55, w * 0.36, h * 0.4), 0, 180 * 16);
  painter.setPen(QPen(QColor(120, 130, 150), w / 14.0));
  for (double y : {0.35, 0.55, 0.75}) painter.drawLine(QPointF(box.left() + w * 0.56, box.top() + h * y),
                                                       QPointF(box.left() + w * 0.86, box.top() + h * y));
}

void PaintEnvelope(QPainter& painter, QRectF box) {
  painter.setPen(QPen(QColor(70, 80, 110), box.width() / 16.0));
  painter.setBrush(Vertical(box.top(), box.bottom(), QColor(255, 255, 255), QColor(220, 226, 240)));
  painter.drawRoundedRect(box, 1.0, 1.0);
  QPainterPath flap;
  flap.moveTo(box.topLeft());
  flap.lineTo(box.center().x(), box.top() + box.height() * 0.6);
  flap.lineTo(box.topRight());
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(flap);
}

}  // namespace

void PaintMedallion(QPainter& painter, QPointF centre, double radius) {
  QRadialGradient gold(centre, radius, centre - QPointF(radius * 0.35, radius * 0.4));
  gold.setColorAt(0.0, QColor(255, 244, 190));
  gold.setColorAt(0.55, QColor(226, 182, 78));
  gold.setColorAt(1.0, QColor(128, 92, 30));
  painter.setPen(QPen(QColor(90, 64, 20), std::max(1.0, radius / 24.0)));
  painter.setBrush(gold);
  painter.drawEllipse(centre, radius, radius);
  // The engraved inner ring.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(120, 86, 28, 200), std::max(0.8, radius / 30.0)));
  painter.drawEllipse(centre, radius * 0.82, radius * 0.82);
  painter.setPen(QPen(QColor(255, 240, 180, 150), std::max(0.6, radius / 40.0)));
  painter.drawEllipse(centre + QPointF(0.6, 0.6), radius * 0.82, radius * 0.82);

  QFont mark(QStringLiteral("DejaVu Serif"));
  mark.setBold(true);
  mark.setPixelSize(std::max(6, int(radius * 1.15)));
  painter.setFont(mark);
  const QRectF box(centre.x() - radius, centre.y() - radius, radius * 2, radius * 2);
  painter.setPen(QColor(255, 246, 210, 170));
  painter.drawText(box.translated(radius / 60.0 + 0.25, radius / 60.0 + 0.25), Qt::AlignCenter, QStringLiteral("T"));
  painter.setPen(QColor(70, 48, 14));
  painter.drawText(box, Qt::AlignCenter, QStringLiteral("T"));
}

QImage PaintTitleButton(TitleSymbol symbol, TitleState state) {
  QImage image(21, 21, QImage::Format_RGB32);
  image.fill(kPlate);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool help = symbol == TitleSymbol::Help;
  QColor light = help ? QColor(92, 146, 236) : QColor(232, 92, 76);
  QColor dark = help ? QColor(28, 66, 160) : QColor(150, 26, 26);
  if (state == TitleState::Hover) {
    light = light.lighter(122);
    dark = dark.lighter(135);
  }
  if (state == TitleState::Pressed) std::swap(light, dark);
  const QRectF square(0.5, 0.5, 20.0, 20.0);
  painter.setPen(QPen(state == TitleState::Hover ? kGold : QColor(210, 214, 226), 1.0));
  painter.setBrush(Vertical(0, 21, light, dark));
  painter.drawRoundedRect(square, 3.0, 3.0);

  const QPointF shift = state == TitleState::Pressed ? QPointF(1, 1) : QPointF(0, 0);
  painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
  if (help) {
    QFont mark(QStringLiteral("DejaVu Sans"));
    mark.setBold(true);
    mark.setPixelSize(15);
    painter.setFont(mark);
    painter.drawText(square.translated(shift), Qt::AlignCenter, QStringLiteral("?"));
  } else {
    const QRectF cross = square.adjusted(5.5, 5.5, -5.5, -5.5).translated(shift);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
  }
  return image;
}

QImage PaintTitleButtonMask() {
  QImage mask(21, 21, QImage::Format_RGB32);
  mask.fill(Qt::black);
  for (QPoint corner : {QPoint(0, 0), QPoint(20, 0), QPoint(0, 20), QPoint(20, 20)}) mask.setPixel(corner, 0xFFFFFFFF);
  return mask;
}

QImage PaintProgramIcon(int size) {
  return OnSquare(size, [size](QPainter& painter) {
    const double inset = size <= 16 ? 0.0 : 1.0;
    painter.setPen(QPen(kGoldDim, size <= 16 ? 1.5 : 1.0));
    painter.setBrush(Vertical(0, 32, kBodyTop, kBodyBottom));
    painter.drawRoundedRect(QRectF(inset + 0.5, inset + 0.5, 31 - 2 * inset, 31 - 2 * inset), 6, 6);
    PaintMedallion(painter, QPointF(16, 16), size <= 16 ? 12.5 : 12.0);
  });
}

QImage PaintPickerIcon(PickerIcon icon, int size) {
  return OnSquare(size, [icon](QPainter& painter) {
    switch (icon) {
      case PickerIcon::OutlookContacts:
        PaintFolder(painter, QRectF(2.5, 4.5, 24, 20));
        PaintEnvelope(painter, QRectF(12.5, 15.5, 18, 13));
        break;
      case PickerIcon::AddressBook: {
        painter.setPen(QPen(QColor(20, 40, 90), 1.5));
        painter.setBrush(Vertical(0, 32, QColor(70, 120, 210), QColor(30, 60, 140)));
        painter.drawRoundedRect(QRectF(6.5, 2.5, 21, 27), 2, 2);
        painter.setBrush(QColor(240, 240, 235));
        painter.drawRect(QRectF(25.5, 4.5, 3, 23));
        painter.setPen(Qt::NoPen);
        painter.setBrush(kGold);
        painter.drawEllipse(QPointF(16.5, 12.5), 4, 4);
        painter.drawPie(QRectF(9.5, 17.5, 14, 12), 0, 180 * 16);
        painter.setPen(QPen(QColor(230, 235, 245), 2.0));
        for (double y : {7.0, 16.0, 25.0}) painter.drawLine(QPointF(4, y), QPointF(8, y));
        break;
      }
      case PickerIcon::TextFile: {
        QPainterPath page;
        page.moveTo(6.5, 2.5);
        page.lineTo(19.5, 2.5);
        page.lineTo(26.5, 9.5);
        page.lineTo(26.5, 29.5);
        page.lineTo(6.5, 29.5);
        page.closeSubpath();
        painter.setPen(QPen(QColor(80, 90, 110), 1.0));
        painter.setBrush(Vertical(0, 32, QColor(255, 255, 255), QColor(228, 232, 240)));
        painter.drawPath(page);
        painter.setBrush(QColor(200, 206, 220));
        painter.drawPolygon(QPolygonF({QPointF(19.5, 2.5), QPointF(19.5, 9.5), QPointF(26.5, 9.5)}));
        painter.setPen(QPen(QColor(110, 120, 140), 1.5));
        for (double y : {13.0, 17.0, 21.0, 25.0}) painter.drawLine(QPointF(10, y), QPointF(y == 25.0 ? 17 : 23, y));
        break;
      }
    }
  });
}

QImage PaintFolderContactStrip() {
  QImage picture(32, 16, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  {
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintFolder(painter, QRectF(1.5, 2.5, 13, 11));
    PaintCard(painter, QRectF(16.5, 2.5, 14, 11));
  }
  // Half-covered edge pixels take the list's white; the rest is the key colour.
  QImage strip(32, 16, QImage::Format_RGB32);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 32; ++x) {
      const QRgb c = picture.pixel(x, y);
      const int a = qAlpha(c);
      strip.setPixel(x, y, a < 128 ? qRgb(255, 0, 255)
                                   : qRgb(qRed(c) + 255 - a, qGreen(c) + 255 - a, qBlue(c) + 255 - a));
    }
  }
  return strip;
}

QImage PaintHandCursor() {
  QPainterPath hand;
  hand.addRoundedRect(QRectF(10, 4, 5, 15), 2.5, 2.5);    // pointing finger
  hand.addRoundedRect(QRectF(14, 11, 4, 9), 2, 2);        // folded fingers
  hand.addRoundedRect(QRectF(17, 12, 4, 9), 2, 2);
  hand.addRoundedRect(QRectF(20, 13, 4, 9), 2, 2);
  hand.addRoundedRect(QRectF(8, 16, 16, 11), 4, 4);       // palm
  hand.addRoundedRect(QRectF(4, 15, 6, 4), 2, 2);         // thumb
  hand.addRect(QRectF(11, 26, 12, 4));                    // wrist
  hand = hand.simplified();

  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setPen(QPen(Qt::black, 1.0));
  painter.setBrush(Qt::white);
  painter.drawPath(hand.translated(0.5, 0.5));
  return image;
}

}  // namespace skinart
