// Reading attachment files.
#include "Attachment.h"

#include "Charset.h"
#include "MapiError.h"
#include "MimeTypes.h"
#include <zplatform/UniqueFd.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

namespace mapi32 {

using zplatform::UniqueFd;

namespace {

UniqueFd OpenRegularFile(const std::string& path) {
  // O_NONBLOCK so that a FIFO cannot hang the caller; it is refused below.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid())
    throw MapiError(errno == ENOENT || errno == ENOTDIR ? MAPI_E_ATTACHMENT_NOT_FOUND
                                                        : MAPI_E_ATTACHMENT_OPEN_FAILURE);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) throw MapiError(MAPI_E_ATTACHMENT_OPEN_FAILURE);
  return fd;
}

std::string ReadAll(int fd) {
  std::string data;
  std::array<char, 65536> buffer;
  for (;;) {
    ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw MapiError(MAPI_E_ATTACHMENT_OPEN_FAILURE);
    if (got == 0) return data;
    data.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

std::string BaseName(std::string_view path) {
  auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

Attachment LoadAttachment(const MapiFileDesc& desc) {
  std::string path(FieldText(desc.lpszPathName));
  if (path.empty()) throw MapiError(MAPI_E_ATTACHMENT_NOT_FOUND);
  UniqueFd fd = OpenRegularFile(path);

  Attachment attachment;
  attachment.data = ReadAll(fd.get());
  attachment.fileName = HeaderText(FieldText(desc.lpszFileName));
  if (attachment.fileName.empty()) attachment.fileName = HeaderText(BaseName(path));
  attachment.contentType = ContentTypeForName(attachment.fileName);
  return attachment;
}

}  // namespace mapi32
