// CursorResource: a cursor resource of the running program (a .cur file
// among its resources) as a Qt cursor with the file's own hot spot
// (internal to the library).
#pragma once

#include <zplatform/WinTypes.h>

#include <QCursor>

#include <optional>

namespace zerth::detail {

// Nothing when the program has no such cursor or it does not decode.
std::optional<QCursor> LoadCursorResource(UINT id);

}  // namespace zerth::detail
