// FtpDownload: a temporary file "<path>.part-<pid>-<n>" made with the mode a
// new file gets (0666 less the umask), written whole, then renamed.
#include "FtpDownload.h"

#include <zplatform/FdIo.h>
#include <zplatform/UniqueFd.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zerth::detail {

namespace {

zplatform::UniqueFd CreateTemporary(const std::string& path, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    zplatform::UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.valid() || errno != EEXIST) return fd;
  }
  return zplatform::UniqueFd();
}

bool Receive(CUT_WSClient& connection, int fd) {
  std::vector<char> block(kDownloadBlock);
  long total = 0;
  for (;;) {
    const int got = connection.Receive(block.data(), kDownloadBlock);
    if (got == 0) return true;
    if (got < 0 || !zplatform::WriteFully(fd, std::string_view(block.data(), static_cast<std::size_t>(got))))
      return false;
    total += got;
    if (connection.ReceiveFileStatus(total) == 0) return false;
  }
}

}  // namespace

bool DownloadToFile(CUT_WSClient& connection, const char* path) {
  if (!path || !*path) return false;
  std::string temporary;
  zplatform::UniqueFd fd = CreateTemporary(path, temporary);
  if (!fd.valid()) return false;
  const bool received = Receive(connection, fd.get());
  const bool closed = ::close(fd.release()) == 0;
  if (received && closed && std::rename(temporary.c_str(), path) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

}  // namespace zerth::detail
