// The key handles that RegOpenKeyEx and RegCreateKeyEx give out: which hive
// file, which key and the access asked for. Open handles are kept in a table,
// so a closed or made-up handle is refused instead of being followed.
#pragma once

#include <zplatform/Registry.h>

#include <optional>
#include <string>

namespace zplatform::registry {

enum class HiveKind { User, Machine };

}  // namespace zplatform::registry

struct RegKeyHandle {
  zplatform::registry::HiveKind hive = zplatform::registry::HiveKind::User;
  std::string path;  // full key path, root name first
  REGSAM access = 0;
};

namespace zplatform::registry {

HKEY AddHandle(RegKeyHandle handle);

// A copy of what the handle stands for, or nothing when it is not open.
// The predefined roots are always open, with all access.
std::optional<RegKeyHandle> FindHandle(HKEY key);

// False when the handle is not open. Closing a predefined root succeeds and
// leaves it open, as on Windows.
bool CloseHandle(HKEY key);

}  // namespace zplatform::registry
