// The tree of vCard folders behind the contacts object model ("vdir" layout,
// as vdirsyncer and khard keep it): a directory per folder, subdirectories as
// subfolders, a .vcf file per contact. Plain file-system work, no COM.
#pragma once

#include <addressbook/Card.h>

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace contacts {

// Folders deeper than this below the root are not listed, whatever the links.
inline constexpr std::size_t kMaxFolderDepth = 64;
// A contact file larger than this is skipped (a card with a photo is far
// smaller).
inline constexpr std::size_t kMaxCardFileBytes = 8u << 20;

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// A folder and the directories on the way to it from the root, itself last,
// so that a symbolic link back to one of them is not followed again.
struct FolderPlace {
  std::string path;
  std::vector<FileId> chain;
};

// The root folder, or nothing when path is not a directory that can be read.
std::optional<FolderPlace> OpenRootFolder(const std::string& path);

// The folder's own name: the last component of its path.
std::string FolderName(const std::string& path);

// The subfolders of a folder in byte order of their names: directories (also
// through links), not hidden, not already on the way from the root, and none
// below the depth limit. Nothing when the folder cannot be read.
std::optional<std::vector<FolderPlace>> ListSubfolders(const FolderPlace& folder);

// The names of the folder's .vcf files in byte order, hidden ones left out.
// Nothing when the folder cannot be read.
std::optional<std::vector<std::string>> ListCardFiles(const std::string& folderPath);

// The cards of one contact file; none when it cannot be read, is not a
// regular file, is too large or holds no vCard.
std::vector<addressbook::Card> ReadCardFile(const std::string& path);

}  // namespace contacts
