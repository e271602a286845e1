#include "mailing/SignatureFooter.h"

#include <zerth/Crypt.h>
#include <zplatform/FdIo.h>
#include <zplatform/UniqueFd.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kLengthBytes = 4;
constexpr std::uint64_t kBlockBytes = 8;

// Whole cipher blocks: padding keeps every footer byte inside an enciphered block.
constexpr std::uint64_t PaddedLength(std::uint64_t length) {
  return (length + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
}

}  // namespace

FooterStatus ReadSignatureFooter(const std::string& path, const std::string& key, std::string& footer) {
  zplatform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0) return FooterStatus::CannotOpen;

  unsigned char head[kLengthBytes];
  if (zplatform::ReadFully(fd.get(), head, sizeof head) != static_cast<ssize_t>(sizeof head)) return FooterStatus::CannotRead;
  const auto length = static_cast<std::int32_t>(static_cast<std::uint32_t>(head[0]) |
                                                static_cast<std::uint32_t>(head[1]) << 8 |
                                                static_cast<std::uint32_t>(head[2]) << 16 |
                                                static_cast<std::uint32_t>(head[3]) << 24);
  if (length < 1 || length > kMaxFooterLength) return FooterStatus::BadFormat;

  // The ciphertext is the rest of the file; a footer reaching beyond it would
  // read past the data, so such a file is refused as malformed. Only the
  // blocks that hold the footer are read and deciphered: CBC deciphers each
  // block from the one before it, so later blocks change nothing here.
  const auto rest = static_cast<std::uint64_t>(std::max<off_t>(st.st_size - static_cast<off_t>(kLengthBytes), 0));
  const auto needed = static_cast<std::size_t>(std::min(rest, PaddedLength(static_cast<std::uint64_t>(length))));
  std::vector<unsigned char> data(needed);
  if (zplatform::ReadFully(fd.get(), data.data(), needed) != static_cast<ssize_t>(needed)) return FooterStatus::CannotRead;
  if (static_cast<std::uint64_t>(length) > rest) return FooterStatus::BadFormat;

  Crypt crypt(key.c_str());
  Crypt::Block chain{0, 0};
  crypt.Decrypt(data.data(), static_cast<std::uint32_t>(needed), chain);
  footer.assign(reinterpret_cast<const char*>(data.data()), static_cast<std::size_t>(length));
  return FooterStatus::Ok;
}

std::string SealSignatureFooter(std::string_view footer, const std::string& key) {
  const auto length = static_cast<std::uint32_t>(footer.size());
  std::string file;
  for (unsigned shift = 0; shift < 32; shift += 8) file += static_cast<char>((length >> shift) & 0xFF);
  file.append(footer);
  file.resize(kLengthBytes + PaddedLength(footer.size()), '\0');
  Crypt::Block chain{0, 0};
  Crypt(key.c_str()).Encrypt(reinterpret_cast<unsigned char*>(file.data() + kLengthBytes),
                             static_cast<std::uint32_t>(file.size() - kLengthBytes), chain);
  return file;
}
