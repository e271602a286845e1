// BmpFile: writes Windows bitmap files byte for byte the same on every run
// (Qt's writer leaves the row padding as it finds it in memory).
#pragma once

#include <QByteArray>
#include <QImage>

namespace skinart {

// An 8-bit file with its palette for an indexed picture, else a 24-bit one.
QByteArray WriteBmpFile(const QImage& picture);

}  // namespace skinart
