// Whole-file replacement through a synced temporary file and rename.
#include <zplatform/AtomicFile.h>

#include <zplatform/FdIo.h>
#include <zplatform/UniqueFd.h>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zplatform {
namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself durable. Best effort: the target already holds the
// new bytes, and a folder that may be written but not read cannot be opened.
void SyncFolder(const std::string& path) {
  UniqueFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder) ::fsync(folder.get());
}

AtomicWriteResult Failure(AtomicWriteStep step) {
  return {errno != 0 ? errno : EIO, step};
}

}  // namespace

AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode,
                                      std::string_view tempSuffix) {
  std::string temp = path + '.' + std::string(kAtomicTempRandomChars, 'X') + std::string(tempSuffix);
  UniqueFd fd(::mkostemps(temp.data(), static_cast<int>(tempSuffix.size()), O_CLOEXEC));
  if (!fd) return Failure(AtomicWriteStep::CreateTemporary);

  // From here on every failure takes the temporary file away again; the
  // error is kept before unlink can change errno.
  const auto fail = [&](AtomicWriteStep step) {
    const AtomicWriteResult result = Failure(step);
    ::unlink(temp.c_str());
    return result;
  };
  // mkostemps asked for 0600 less the umask; the caller's mode is set
  // exactly, and before the first byte is written.
  if (::fchmod(fd.get(), mode) != 0 || !WriteFully(fd.get(), bytes) || ::fsync(fd.get()) != 0 || fd.close() != 0)
    return fail(AtomicWriteStep::WriteTemporary);
  if (::rename(temp.c_str(), path.c_str()) != 0) return fail(AtomicWriteStep::Replace);
  SyncFolder(path);
  return {};
}

}  // namespace zplatform
