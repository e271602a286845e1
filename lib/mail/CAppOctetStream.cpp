#include "zerth/CAppOctetStream.h"

#include "zerth/CBase64.h"

#include <zplatform/FdIo.h>
#include <zplatform/UniqueFd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 54 bytes make one 72-character line of base64.
constexpr std::size_t kBytesPerLine = 54;

// Opens the file for reading, shared with other readers but not with a
// writer that holds its lock: an invalid handle when that is not possible.
// A folder opens on Linux, but is no file to attach.
zplatform::UniqueFd OpenForAttaching(const char* path) {
  zplatform::UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!fd) return fd;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || S_ISDIR(info.st_mode)) return {};
  if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) return {};
  return fd;
}

// The name and extension of a path, without its folder.
std::string FileName(const char* path) {
  const std::filesystem::path p(path);
  return p.stem().string() + p.extension().string();
}

}  // namespace

CAppOctetStream::~CAppOctetStream() = default;

std::string CAppOctetStream::GetContentTypeString() { return "application/octet-stream"; }

std::string CAppOctetStream::build_sub_header(const char* szContent, const char* /*szParameters*/, int /*nEncoding*/,
                                              int bPath) {
  const std::string name = szContent != nullptr ? FileName(szContent) : std::string();
  std::string header = "Content-Type: " + GetContentTypeString();
  if (bPath) header += "; file=" + name;
  header += "\r\nContent-Transfer-Encoding: base64\r\n";
  header += "Content-Disposition: attachment; filename=" + name + "\r\n";
  header += "\r\n";
  return header;
}

int CAppOctetStream::AppendPart(const char* szContent, const char* szParameters, int nEncoding, int /*bPath*/,
                                std::string& sDestination) {
  if (szContent == nullptr) return 0;
  const zplatform::UniqueFd file = OpenForAttaching(szContent);
  if (!file) return 0;
  sDestination += build_sub_header(szContent, szParameters, nEncoding, 1);
  attach_file(file.get(), nEncoding, sDestination);
  return 1;
}

void CAppOctetStream::attach_file(int fd, int /*nEncoding*/, std::string& sDestination) {
  if (fd < 0) return;
  const std::unique_ptr<CMIMECode> encoder(new (std::nothrow) CBase64);
  if (!encoder) return;
  char buffer[kBytesPerLine];
  for (;;) {
    const ssize_t count = zplatform::ReadFully(fd, buffer, sizeof buffer);
    if (count < 0) break;  // what was read so far stays; the part is closed below
    sDestination += encoder->Encode(buffer, static_cast<int>(count));
    sDestination += "\r\n";
    if (static_cast<std::size_t>(count) < sizeof buffer) break;
  }
  sDestination += "\r\n";
}
