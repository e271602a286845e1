// SkinResources: the skin's bitmaps and cursors loaded from the program's
// resources by id. A missing or unreadable resource gives a null result, so
// that the caller falls back as it would without that picture.
#pragma once

#include <zplatform/CursorResource.h>
#include <zplatform/WinTypes.h>

#include <QCursor>
#include <QImage>

namespace tarvo {

// Bitmap resource id as a picture; null for id 0 or a bitmap that does not load.
QImage LoadSkinBitmap(UINT id);

using zplatform::CursorFileHotSpot;

// Cursor resource id with its own hot spot; fallback when it does not load.
QCursor LoadSkinCursor(UINT id, Qt::CursorShape fallback);

}  // namespace tarvo
