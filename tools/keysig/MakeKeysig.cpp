// make-keysig INPUT OUTPUT: seals a signature footer text into the key.sig
// file that tarvo reads beside itself: N (little-endian 32-bit, the footer's
// length), then the footer padded with zero bytes to whole 8-byte blocks and
// enciphered with Crypt in CBC mode from a zero chaining block under the
// footer key. Padding keeps every footer byte inside an enciphered block.
#include "zerth/Crypt.h"

#include <zplatform/FdIo.h>
#include <zplatform/WholeFile.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kFooterKey = "KDW Tansy Lanterns 2.7";
constexpr std::size_t kMaxFooterLength = 100000;
constexpr std::size_t kBlockBytes = 8;

void Complain(const std::string& message) {
  std::fprintf(stderr, "make-keysig: %s\n", message.c_str());
}

// The footer text, or nothing (after saying why) when it is missing, empty,
// longer than tarvo accepts or not a regular file (a FIFO would block, a
// device might never end).
std::optional<std::string> ReadFooter(const std::string& path) {
  std::string text;
  switch (zplatform::ReadWholeFile(path, kMaxFooterLength, text)) {
    case zplatform::WholeFileStatus::Ok: break;
    case zplatform::WholeFileStatus::NotFound:
    case zplatform::WholeFileStatus::CannotOpen:
      Complain("cannot open " + path + ": " + std::strerror(errno));
      return std::nullopt;
    case zplatform::WholeFileStatus::NotRegularFile:
      Complain("cannot read " + path + ": not a regular file");
      return std::nullopt;
    case zplatform::WholeFileStatus::TooLarge:
      Complain(path + " is longer than " + std::to_string(kMaxFooterLength) + " bytes, the most a footer may hold");
      return std::nullopt;
    case zplatform::WholeFileStatus::ReadError:
      Complain("cannot read " + path + ": " + std::strerror(errno));
      return std::nullopt;
  }
  if (text.empty()) {
    Complain(path + " is empty: a footer needs at least one byte");
    return std::nullopt;
  }
  return text;
}

std::vector<unsigned char> Seal(const std::string& footer) {
  const std::size_t padded = (footer.size() + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
  std::vector<unsigned char> file(4 + padded, 0);
  const auto length = static_cast<std::uint32_t>(footer.size());
  for (std::size_t i = 0; i < 4; ++i)
    file[i] = static_cast<unsigned char>(length >> (8 * i));
  std::copy(footer.begin(), footer.end(), file.begin() + 4);
  Crypt::Block chain{0, 0};
  Crypt(kFooterKey).Encrypt(file.data() + 4, static_cast<std::uint32_t>(padded), chain);
  return file;
}

class FileDescriptor {
public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int Get() const { return m_fd; }
  bool Close() {
    const int fd = m_fd;
    m_fd = -1;
    return fd < 0 || ::close(fd) == 0;
  }

private:
  int m_fd;
};

bool WriteAll(int fd, const std::vector<unsigned char>& bytes) {
  return zplatform::WriteFully(fd, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// Writes beside the target and renames over it, so a reader never sees half a file.
bool WriteAtomically(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::string temp = path + ".XXXXXX";
  FileDescriptor fd(::mkstemp(temp.data()));
  if (fd.Get() < 0) {
    Complain("cannot create a file beside " + path + ": " + std::strerror(errno));
    return false;
  }
  const bool written = ::fchmod(fd.Get(), 0644) == 0 && WriteAll(fd.Get(), bytes) &&
                       ::fsync(fd.Get()) == 0 && fd.Close() &&
                       std::rename(temp.c_str(), path.c_str()) == 0;
  if (!written) {
    Complain("cannot write " + path + ": " + std::strerror(errno));
    ::unlink(temp.c_str());
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-keysig INPUT.txt OUTPUT.sig\n");
    return 2;
  }
  const std::optional<std::string> footer = ReadFooter(argv[1]);
  if (!footer)
    return 1;
  return WriteAtomically(argv[2], Seal(*footer)) ? 0 : 1;
}
