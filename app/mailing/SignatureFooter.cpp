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

FooterStatus ReadSignatureFooter(const std::string& path, const std::string& key, std::string& footer) {
  zplatform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0) return FooterStatus::CannotOpen;

  unsigned char head[4];
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
  const auto rest = static_cast<std::uint64_t>(st.st_size > 4 ? st.st_size - 4 : 0);
  const std::uint64_t wholeBlocks = (static_cast<std::uint64_t>(length) + 7) / 8 * 8;
  const auto needed = static_cast<std::size_t>(std::min(rest, wholeBlocks));
  std::vector<unsigned char> data(needed);
  if (zplatform::ReadFully(fd.get(), data.data(), needed) != static_cast<ssize_t>(needed)) return FooterStatus::CannotRead;
  if (static_cast<std::uint64_t>(length) > rest) return FooterStatus::BadFormat;

  Crypt crypt(key.c_str());
  Crypt::Block chain{0, 0};
  crypt.Decrypt(data.data(), static_cast<std::uint32_t>(needed), chain);
  footer.assign(reinterpret_cast<const char*>(data.data()), static_cast<std::size_t>(length));
  return FooterStatus::Ok;
}
