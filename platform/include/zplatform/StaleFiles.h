// Removing the leftovers of writers that died: the regular files directly in
// a folder that a caller's rule names stale. Links and folders that look
// alike are never touched, and nothing below the folder is looked into.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

namespace zplatform {

enum class FolderLink { Follow, Refuse };

// Removes every regular file directly in folder for which stale(name, info)
// holds (info is the file's own, not a link's target). With FolderLink::Refuse
// a folder that is itself a symbolic link is left alone. Best effort: what
// cannot be read or removed now stays for the next call.
void RemoveStaleFiles(const std::string& folder, FolderLink link,
                      const std::function<bool(std::string_view name, const struct stat& info)>& stale);

}  // namespace zplatform
