#include "PlainSkin.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace tarvo {
namespace {

const QColor kGold{251, 220, 112};
const QColor kGoldDim{150, 126, 60};

void PaintPanel(QPainter& painter, QSize size) {
  const QRectF outer(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
  QLinearGradient fill(0, 0, 0, size.height());
  fill.setColorAt(0.0, QColor(38, 52, 84));
  fill.setColorAt(0.45, QColor(24, 33, 56));
  fill.setColorAt(1.0, QColor(12, 16, 28));
  QPainterPath panel;
  panel.addRoundedRect(outer, 56, 56);
  painter.fillPath(panel, fill);
  painter.setPen(QPen(kGoldDim, 2));
  painter.drawPath(panel);
  painter.setPen(QPen(QColor(255, 255, 255, 28), 1));
  painter.drawRoundedRect(outer.adjusted(6, 6, -6, -6), 50, 50);
}

void PaintLogo(QPainter& painter, QRect area) {
  const int diameter = std::min(area.width(), area.height()) - 8;
  const QRectF disc(area.center().x() - diameter / 2.0, area.center().y() - diameter / 2.0, diameter, diameter);
  QRadialGradient glow(disc.center(), diameter / 2.0, disc.topLeft() + QPointF(diameter * 0.35, diameter * 0.3));
  glow.setColorAt(0.0, QColor(255, 236, 160));
  glow.setColorAt(0.6, QColor(214, 168, 64));
  glow.setColorAt(1.0, QColor(120, 86, 24));
  painter.setBrush(glow);
  painter.setPen(QPen(kGold, 1.5));
  painter.drawEllipse(disc);

  QFont mark("DejaVu Serif");
  mark.setPixelSize(diameter * 6 / 10);
  mark.setBold(true);
  painter.setFont(mark);
  painter.setPen(QColor(40, 30, 12));
  painter.drawText(disc, Qt::AlignCenter, QStringLiteral("T"));
}

void PaintTitle(QPainter& painter, QRect logoArea) {
  QFont title("DejaVu Serif");
  title.setPixelSize(30);
  title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  painter.setFont(title);
  painter.setPen(kGold);
  const QRect box(logoArea.right() + 24, logoArea.top() - 6, 260, 40);
  painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tarvo"));
  painter.setPen(QPen(kGoldDim, 1));
  painter.drawLine(box.left(), box.bottom() + 2, box.left() + 190, box.bottom() + 2);
}

}  // namespace

QPixmap PaintPlainBackground(QSize size, QRect logoArea) {
  QPixmap picture(size);
  picture.fill(kPlainSkinBase);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  PaintPanel(painter, size);
  PaintLogo(painter, logoArea);
  PaintTitle(painter, logoArea);
  return picture;
}

QPixmap PaintTitleSymbol(TitleSymbol symbol, QSize size) {
  QPixmap picture(size);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool help = symbol == TitleSymbol::Help;
  const QRectF square(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
  painter.setPen(QPen(QColor(230, 230, 230), 1));
  painter.setBrush(help ? QColor(40, 90, 190) : QColor(190, 40, 40));
  painter.drawRoundedRect(square, 2, 2);
  painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
  if (help) {
    QFont mark("DejaVu Sans");
    mark.setPixelSize(size.height() - 3);
    mark.setBold(true);
    painter.setFont(mark);
    painter.drawText(square, Qt::AlignCenter, QStringLiteral("?"));
  } else {
    const QRectF cross = square.adjusted(3.5, 3.5, -3.5, -3.5);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
  }
  return picture;
}

}  // namespace tarvo
