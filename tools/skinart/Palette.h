// Palette: reduces a full-colour picture to 8 bits per pixel with a palette
// of its own (median cut), for the background bitmap.
#pragma once

#include <QImage>

namespace skinart {

// The picture with at most 256 colours chosen by median cut, each pixel
// mapped to its nearest palette colour. Deterministic.
QImage ToIndexed8(const QImage& picture);

}  // namespace skinart
