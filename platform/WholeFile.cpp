// Whole-file reads with a size cap, for regular files only.
#include <zplatform/WholeFile.h>

#include <zplatform/UniqueFd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zplatform {

WholeFileStatus ReadWholeFd(int fd, std::size_t maxBytes, std::string& data) {
  data.clear();
  struct stat st {};
  if (::fstat(fd, &st) != 0) return WholeFileStatus::ReadError;
  if (!S_ISREG(st.st_mode)) return WholeFileStatus::NotRegularFile;
  if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) return WholeFileStatus::TooLarge;

  // The size is a hint only: the file may grow or shrink while it is read.
  std::string text;
  text.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t used = 0;
  for (;;) {
    if (used == text.size()) {
      if (used > maxBytes) return WholeFileStatus::TooLarge;
      text.resize(std::min(maxBytes + 1, std::max<std::size_t>(used * 2, 4096)));
    }
    const ssize_t n = ::read(fd, text.data() + used, text.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return WholeFileStatus::ReadError;
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  if (used > maxBytes) return WholeFileStatus::TooLarge;
  text.resize(used);
  data = std::move(text);
  return WholeFileStatus::Ok;
}

WholeFileStatus ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& data) {
  data.clear();
  // O_NONBLOCK so that opening a FIFO cannot wait for a writer; it is then
  // refused as not a regular file, and regular files ignore the flag.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return errno == ENOENT || errno == ENOTDIR ? WholeFileStatus::NotFound : WholeFileStatus::CannotOpen;
  return ReadWholeFd(fd.get(), maxBytes, data);
}

}  // namespace zplatform
