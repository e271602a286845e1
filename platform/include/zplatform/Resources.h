// The running program's resources, found by kind and id. Bitmaps, icons and
// cursors are Qt resources compiled into the program (":/res/<kind>/<id>.<ext>");
// strings come from a table that the program registers at start-up. Library code
// asking for "the program's own resource" finds the program's through this.
#pragma once

#include <zplatform/WinTypes.h>

#include <span>
#include <string>

namespace zplatform {

enum class ResourceKind { Bitmap, Icon, Cursor, Midi };

struct StringResource {
  UINT id;
  const char* text;
};

// Makes the program's string table known; the table must outlive its use.
// A later registration replaces an earlier one.
void RegisterStringTable(std::span<const StringResource> table);

// The string with this id, or empty when there is none (as LoadString gives 0).
std::string LoadStringResource(UINT id);

// Qt resource path of the resource, or empty when the program has none.
std::string ResourcePath(ResourceKind kind, UINT id);

}  // namespace zplatform
