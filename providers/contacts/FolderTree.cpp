#include "FolderTree.h"

#include <addressbook/VCardReader.h>
#include <zplatform/AsciiText.h>
#include <zplatform/WholeFile.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace contacts {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using OwnedDir = std::unique_ptr<DIR, DirCloser>;

bool IsHidden(const char* name) { return name[0] == '.'; }

// The directory at path (links followed), or nothing.
std::optional<FileId> DirectoryId(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

// Calls take(name, type) for every entry but "." and ".."; false when the
// folder cannot be opened.
template <class Take>
bool ForEachEntry(const std::string& folderPath, Take take) {
  OwnedDir dir(::opendir(folderPath.c_str()));
  if (!dir) return false;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (IsHidden(entry->d_name)) continue;  // also "." and ".."
    take(std::string(entry->d_name), entry->d_type);
  }
  return true;
}

}  // namespace

std::optional<FolderPlace> OpenRootFolder(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const std::optional<FileId> id = DirectoryId(path);
  if (!id) return std::nullopt;
  OwnedDir readable(::opendir(path.c_str()));
  if (!readable) return std::nullopt;
  return FolderPlace{path, {*id}};
}

std::string FolderName(const std::string& path) {
  std::string_view name = path;
  while (name.size() > 1 && name.back() == '/') name.remove_suffix(1);
  if (const auto slash = name.rfind('/'); slash != std::string_view::npos && name.size() > 1) {
    name.remove_prefix(slash + 1);
  }
  return std::string(name);
}

std::optional<std::vector<FolderPlace>> ListSubfolders(const FolderPlace& folder) {
  std::vector<FolderPlace> subfolders;
  // The root's chain holds one directory: depth 0.
  if (folder.chain.size() > kMaxFolderDepth) return subfolders;
  const std::string prefix = folder.path.ends_with('/') ? folder.path : folder.path + '/';
  const bool readable = ForEachEntry(folder.path, [&](std::string name, unsigned char type) {
    // Only these may be directories; the rest need no stat.
    if (type != DT_DIR && type != DT_LNK && type != DT_UNKNOWN) return;
    std::string path = prefix + name;
    const std::optional<FileId> id = DirectoryId(path);
    if (!id || std::find(folder.chain.begin(), folder.chain.end(), *id) != folder.chain.end()) return;
    FolderPlace sub{std::move(path), folder.chain};
    sub.chain.push_back(*id);
    subfolders.push_back(std::move(sub));
  });
  if (!readable) return std::nullopt;
  std::sort(subfolders.begin(), subfolders.end(),
            [](const FolderPlace& a, const FolderPlace& b) { return a.path < b.path; });
  return subfolders;
}

std::optional<std::vector<std::string>> ListCardFiles(const std::string& folderPath) {
  std::vector<std::string> names;
  const bool readable = ForEachEntry(folderPath, [&](std::string name, unsigned char type) {
    if (type == DT_DIR || !zplatform::EndsWithNoCase(name, ".vcf")) return;
    names.push_back(std::move(name));
  });
  if (!readable) return std::nullopt;
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<addressbook::Card> ReadCardFile(const std::string& path) {
  std::string text;
  if (zplatform::ReadWholeFile(path, kMaxCardFileBytes, text) != zplatform::WholeFileStatus::Ok) return {};
  return addressbook::ReadVCards(text);
}

}  // namespace contacts
