#include "DefaultAddressBook.h"

#include <sys/stat.h>

#include <mutex>
#include <optional>

namespace mapi32 {

namespace {

// What tells one version of a file from another without reading it: a file
// replaced by rename has a new inode, one written in place a new time or size.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static std::optional<FileStamp> Of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
  }

  bool operator==(const FileStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
  }
};

// The last book read, and why it could not be read when it could not: a
// book that is too large or of neither format is not read again and again.
struct CachedBook {
  std::string path;
  FileStamp stamp;
  std::optional<addressbook::DisplayNameIndex> names;
  std::string why;
};

std::mutex gMutex;
CachedBook gBook;

}  // namespace

addressbook::Resolution ResolveInDefaultBook(std::string_view name, std::string* why) {
  const std::string path = addressbook::DefaultBookPath();
  const std::optional<FileStamp> stamp = FileStamp::Of(path);
  if (!stamp) {
    if (why) *why = "there is no address book " + path;
    return {};
  }
  std::lock_guard lock(gMutex);
  if (gBook.path != path || !(gBook.stamp == *stamp)) {
    gBook = CachedBook{path, *stamp, std::nullopt, {}};
    if (auto cards = addressbook::LoadBookFile(path, &gBook.why)) gBook.names.emplace(*cards);
  }
  if (!gBook.names) {
    if (why) *why = "the address book " + path + " cannot be read: " + gBook.why;
    return {};
  }
  return gBook.names->Resolve(name);
}

}  // namespace mapi32
