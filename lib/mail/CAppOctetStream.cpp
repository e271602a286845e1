#include "zerth/CAppOctetStream.h"

#include "zerth/CBase64.h"

#include <zplatform/UniqueFd.h>
#include <zplatform/WholeFile.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <string_view>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 54 bytes make one 72-character line of base64.
constexpr std::size_t kBytesPerLine = 54;

// Opens the file for reading, shared with other readers but not with a
// writer that holds its lock: an invalid handle when that is not possible,
// and for anything but a regular file within the size limit (a folder, a
// device such as /dev/zero that never ends, a FIFO that would block).
// O_NONBLOCK keeps the open itself from waiting for a FIFO's writer.
zplatform::UniqueFd OpenForAttaching(const char* path) {
  zplatform::UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return fd;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<std::uintmax_t>(info.st_size) > CAppOctetStream::kMaxAttachmentBytes)
    return {};
  if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) return {};
  return fd;
}

// The name and extension of a path, without its folder.
std::string FileName(const char* path) {
  const std::filesystem::path p(path);
  return p.stem().string() + p.extension().string();
}

// Characters that end or split an unquoted parameter value (RFC 2045's
// "tspecials" but the blank, which names have always carried as it is).
bool IsSpecial(char c) {
  return std::string_view(R"(()<>@,;:\"/[]?=)").find(c) != std::string_view::npos;
}

// A parameter of a part header naming the file: "attribute=name" for a plain
// name, else RFC 2231's "attribute*=utf-8''" and the name percent-encoded,
// so that no name can end the header line or the parameter. Control
// characters (line breaks among them) become blanks first: a name never
// carries a line break, not even once decoded.
std::string NameParameter(std::string_view attribute, std::string_view name) {
  std::string clean(name);
  std::replace_if(clean.begin(), clean.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
  const bool plain = std::none_of(clean.begin(), clean.end(),
                                  [](char c) { return static_cast<unsigned char>(c) >= 0x80 || IsSpecial(c); });
  if (plain) return std::string(attribute) + "=" + clean;

  std::string encoded = std::string(attribute) + "*=utf-8''";
  for (char c : clean) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
        std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos) {
      encoded += c;
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", byte);
      encoded += escape;
    }
  }
  return encoded;
}

}  // namespace

CAppOctetStream::~CAppOctetStream() = default;

std::string CAppOctetStream::GetContentTypeString() { return "application/octet-stream"; }

std::string CAppOctetStream::build_sub_header(const char* szContent, const char* /*szParameters*/, int /*nEncoding*/,
                                              int bPath) {
  const std::string name = szContent != nullptr ? FileName(szContent) : std::string();
  std::string header = "Content-Type: " + GetContentTypeString();
  if (bPath) header += "; " + NameParameter("file", name);
  header += "\r\nContent-Transfer-Encoding: base64\r\n";
  header += "Content-Disposition: attachment; " + NameParameter("filename", name) + "\r\n";
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
  // Whole, and within the limit even when the file grew since it was opened.
  std::string data;
  if (zplatform::ReadWholeFd(fd, kMaxAttachmentBytes, data) == zplatform::WholeFileStatus::Ok) {
    std::string_view rest(data);
    for (;;) {
      const std::string_view line = rest.substr(0, kBytesPerLine);
      sDestination += encoder->Encode(line.data(), static_cast<int>(line.size()));
      sDestination += "\r\n";
      if (line.size() < kBytesPerLine) break;
      rest.remove_prefix(kBytesPerLine);
    }
  }
  sDestination += "\r\n";
}
