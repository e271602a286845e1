// Cursor resources of the running program: .cur files among its resources,
// made into Qt cursors with the file's own hot spot.
#pragma once

#include <zplatform/WinTypes.h>

#include <QCursor>
#include <QPoint>

#include <optional>
#include <span>

namespace zplatform {

// The hot spot of a cursor file (its first image's), or nothing when the
// bytes are not a cursor file.
std::optional<QPoint> CursorFileHotSpot(std::span<const char> file);

// The cursor resource with this id; nothing when the program has none or it
// does not decode.
std::optional<QCursor> LoadCursorResource(UINT id);

}  // namespace zplatform
