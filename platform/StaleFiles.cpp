#include <zplatform/StaleFiles.h>

#include <zplatform/UniqueFd.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace zplatform {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

void RemoveStaleFiles(const std::string& folder, FolderLink link,
                      const std::function<bool(std::string_view name, const struct stat& info)>& stale) {
  const int noFollow = link == FolderLink::Refuse ? O_NOFOLLOW : 0;
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | noFollow));
  if (!fd) return;
  const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd.get()));
  if (!dir) return;
  fd.release();  // closedir closes it
  const int dirFd = ::dirfd(dir.get());
  while (const dirent* entry = ::readdir(dir.get())) {
    struct stat info {};
    if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) continue;
    if (stale(entry->d_name, info)) ::unlinkat(dirFd, entry->d_name, 0);
  }
}

}  // namespace zplatform
