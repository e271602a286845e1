// IconFile: writes Windows icon (.ico) and cursor (.cur) files, the formats
// the program's icon and cursor resources come in.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>

#include <vector>

namespace skinart {

// An icon file holding each picture (square, up to 256 pixels) as a 32-bit
// image with alpha and its AND mask.
QByteArray WriteIconFile(const std::vector<QImage>& pictures);

// A monochrome cursor file: opaque pixels black or white (by brightness),
// transparent pixels show the screen.
QByteArray WriteMonoCursorFile(const QImage& picture, QPoint hotSpot);

}  // namespace skinart
