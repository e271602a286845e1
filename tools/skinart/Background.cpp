// The main window's background: the framed navy body traced along the
// outline, the cards behind the controls, the logo and the product title.
#include "Art.h"
#include "Outline.h"
#include "skin/SkinGeometry.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace skinart {
namespace {

QColor Mix(QColor a, QColor b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                          float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// The body and its bevelled gold rim, pixel by pixel from the distance to
// the outline, so that the rim follows the traced outline exactly.
void PaintFrame(QImage& image) {
  for (int by = 0; by < image.height(); ++by) {
    for (int bx = 0; bx < image.width(); ++bx) {
      const QPoint at = QPoint(bx, by) + kBackgroundOrigin;
      const double depth = -OutlineDistance(QPointF(at.x() + 0.5, at.y() + 0.5));
      if (depth <= 0.0) {
        image.setPixelColor(bx, by, kBase);
        continue;
      }
      const double down = double(at.y() - kOutlineTop) / (kOutlineBottom - kOutlineTop);
      QColor body = Mix(kBodyTop, kBodyBottom, down);
      QColor rim = Mix(kGold, kGoldDeep, down * 1.1);
      QColor c = body;
      if (depth < 1.2) c = Mix(kGoldDeep, rim, depth / 1.2);
      else if (depth < 3.0) c = rim;
      else if (depth < 4.0) c = Mix(rim, kPlate, depth - 3.0);
      else if (depth < 6.0) c = Mix(kPlate, body, (depth - 4.0) / 2.0);
      image.setPixelColor(bx, by, c);
    }
  }
}

void PaintGlow(QPainter& painter, QPointF centre, double radius, QColor colour) {
  QRadialGradient glow(centre, radius);
  glow.setColorAt(0.0, colour);
  colour.setAlpha(0);
  glow.setColorAt(1.0, colour);
  painter.setPen(Qt::NoPen);
  painter.setBrush(glow);
  painter.drawEllipse(centre, radius, radius);
}

// A line of dim gold that fades out towards both ends.
void PaintDivider(QPainter& painter, QPointF from, QPointF to) {
  QLinearGradient fade(from, to);
  QColor gold = kGoldDim;
  gold.setAlpha(0);
  fade.setColorAt(0.0, gold);
  gold.setAlpha(170);
  fade.setColorAt(0.2, gold);
  fade.setColorAt(0.8, gold);
  gold.setAlpha(0);
  fade.setColorAt(1.0, gold);
  painter.setPen(QPen(QBrush(fade), 1.0));
  painter.drawLine(from, to);
}

// One card behind all controls, flat so that the transparent labels read
// on one colour; the logo breaks through its upper-left corner.
void PaintCard(QPainter& painter) {
  const QRectF card(28.5, 66.5, 512.0, 296.0);
  painter.setPen(QPen(QColor(0, 0, 0, 110), 3.0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(card.translated(0, 1.5), 12, 12);
  painter.setPen(QPen(QColor(kGoldDim.red(), kGoldDim.green(), kGoldDim.blue(), 190), 1.0));
  painter.setBrush(kCard);
  painter.drawRoundedRect(card, 12, 12);
  painter.setPen(QPen(QColor(255, 255, 255, 18), 1.0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(card.adjusted(2, 2, -2, -2), 10, 10);

  const double columnGap = (kFirstPicker.right() + kContactList.left()) / 2.0 + 0.5;
  PaintDivider(painter, QPointF(columnGap, kFirstPicker.top() - 10.0), QPointF(columnGap, kLastPicker.bottom() + 4.0));
  const double rowGap = (kDelete.bottom() + kTitleEdit.top()) / 2.0 + 1.0;
  PaintDivider(painter, QPointF(card.left() + 10, rowGap), QPointF(card.right() - 10, rowGap));
}

void PaintLogo(QPainter& painter) {
  const QPointF centre = QRectF(kHotspot).center();
  const double radius = std::min(kHotspot.width(), kHotspot.height()) / 2.0 - 5.0;
  // A notch of the body's colour around the medallion cuts it into the card.
  painter.setPen(QPen(kGoldDim, 1.0));
  painter.setBrush(Mix(kBodyTop, kBodyBottom, 0.2));
  painter.drawEllipse(centre, radius + 5.0, radius + 5.0);
  PaintGlow(painter, centre, radius + 4.0, QColor(251, 220, 112, 60));
  PaintMedallion(painter, centre, radius);
}

void PaintTitle(QPainter& painter) {
  QFont title(QStringLiteral("DejaVu Serif"));
  title.setPixelSize(33);
  title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  const QPointF baseline(kHotspot.right() + 22.0, 49.0);
  painter.setFont(title);
  painter.setPen(QColor(0, 0, 0, 140));
  painter.drawText(baseline + QPointF(1.5, 1.5), QStringLiteral("Tarvo"));
  QLinearGradient gold(0, baseline.y() - 28, 0, baseline.y());
  gold.setColorAt(0.0, QColor(255, 240, 190));
  gold.setColorAt(1.0, kGold);
  painter.setPen(QPen(QBrush(gold), 1.0));
  painter.drawText(baseline, QStringLiteral("Tarvo"));

  QFont motto(QStringLiteral("DejaVu Sans"));
  motto.setPixelSize(10);
  motto.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
  painter.setFont(motto);
  painter.setPen(kGoldDim);
  painter.drawText(QPointF(baseline.x() + 2.0, 61.0), QStringLiteral("PERSONAL MAIL FOR EVERY CONTACT"));
}

// The dark plate that the two title buttons sit on.
void PaintTitlePlate(QPainter& painter) {
  const QRectF plate = QRectF(kHelpButton.united(kCloseButton)).adjusted(-4.5, -4.5, 4.5, 4.5);
  painter.setPen(QPen(kGoldDim, 1.0));
  painter.setBrush(kPlate);
  painter.drawRoundedRect(plate, 6, 6);
}

void PaintFooter(QPainter& painter) {
  QFont small(QStringLiteral("DejaVu Sans"));
  small.setPixelSize(9);
  small.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
  painter.setFont(small);
  painter.setPen(kGoldDim);
  const QRectF right(kClose.right() + 20.0, kClose.top(), 130.0, kClose.height());
  painter.drawText(right, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("VERSION 1.0"));
  for (double x : {kSend.left() - 18.0, kClose.right() + 13.0}) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kGoldDim);
    painter.drawEllipse(QPointF(x, QRectF(kSend).center().y()), 2.0, 2.0);
  }
}

}  // namespace

QImage PaintBackground() {
  QImage image(kBackgroundSize, QImage::Format_RGB32);
  PaintFrame(image);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate(-kBackgroundOrigin);
  // Inside the rim only.
  QPainterPath inside;
  inside.addRoundedRect(QRectF(kOutlineLeft, kOutlineTop, kOutlineRight - kOutlineLeft, kOutlineBottom - kOutlineTop)
                            .adjusted(6, 6, -6, -6),
                        kOutlineRadius - 6, kOutlineRadius - 6);
  painter.setClipPath(inside);
  PaintGlow(painter, QRectF(kHotspot).center(), 170.0, QColor(90, 120, 190, 45));
  PaintCard(painter);
  PaintLogo(painter);
  PaintTitle(painter);
  PaintTitlePlate(painter);
  PaintFooter(painter);
  return image;
}

}  // namespace skinart
