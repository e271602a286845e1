// CMD5: RFC 1321 MD5, the buffering around it, and the file forms.
#include "zerth/CMD5.h"

#include <zplatform/UniqueFd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kBlockBytes = 64;
// Where the bit count goes in the last block.
constexpr std::uint32_t kLengthOffset = 56;
// The file forms read this much at a time.
constexpr std::size_t kPieceBytes = 1024;

constexpr std::uint32_t kInitialState[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

inline std::uint32_t LoadLittle(const unsigned char* bytes) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
  } else {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
  }
}

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

CMD5::CMD5() { Reset(); }

CMD5::~CMD5() = default;

void CMD5::Reset() {
  std::memset(m_aBuffer, 0, sizeof m_aBuffer);
  std::memset(m_aDigest, 0, sizeof m_aDigest);
  m_nCount[0] = m_nCount[1] = 0;
  std::memcpy(m_nState, kInitialState, sizeof m_nState);
}

void CMD5::Update(const std::vector<unsigned char>& data) {
  // Update takes a 32-bit length: an array of 4 GiB or more goes in
  // pieces of 2 GiB.
  const unsigned char* bytes = data.data();
  for (std::size_t left = data.size(); left > 0;) {
    const auto piece = static_cast<std::uint32_t>(std::min<std::size_t>(left, 0x80000000u));
    Update(bytes, piece);
    bytes += piece;
    left -= piece;
  }
}

void CMD5::Update(const unsigned char* input, std::uint32_t nLength) {
  if (input == nullptr || nLength == 0) return;
  const std::uint32_t buffered = (m_nCount[0] >> 3) % kBlockBytes;
  const std::uint32_t lowBits = nLength << 3;
  m_nCount[0] += lowBits;
  if (m_nCount[0] < lowBits) ++m_nCount[1];
  m_nCount[1] += nLength >> 29;

  std::uint32_t used = 0;
  if (buffered > 0) {
    const std::uint32_t room = kBlockBytes - buffered;
    if (nLength < room) {
      std::memcpy(m_aBuffer + buffered, input, nLength);
      return;
    }
    std::memcpy(m_aBuffer + buffered, input, room);
    TransformBlocks(m_nState, m_aBuffer, 1);
    used = room;
  }
  // Whole blocks straight from the input, without a copy.
  const std::uint32_t blocks = (nLength - used) / kBlockBytes;
  TransformBlocks(m_nState, input + used, blocks);
  used += blocks * kBlockBytes;
  std::memcpy(m_aBuffer, input + used, nLength - used);
}

std::string CMD5::Final() {
  unsigned char bits[8];
  DWordToByte(bits, m_nCount, sizeof bits);
  // 0x80 and zeros up to 56 bytes into a block: 1 to 64 bytes.
  static constexpr unsigned char kPadding[kBlockBytes] = {0x80};
  const std::uint32_t buffered = (m_nCount[0] >> 3) % kBlockBytes;
  const std::uint32_t padding =
      buffered < kLengthOffset ? kLengthOffset - buffered : kBlockBytes + kLengthOffset - buffered;
  Update(kPadding, padding);
  Update(bits, sizeof bits);
  DWordToByte(m_aDigest, m_nState, sizeof m_aDigest);

  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(2 * sizeof m_aDigest, '0');
  for (std::size_t i = 0; i < sizeof m_aDigest; ++i) {
    text[2 * i] = kHex[m_aDigest[i] >> 4];
    text[2 * i + 1] = kHex[m_aDigest[i] & 0x0F];
  }
  return text;
}

void CMD5::GetDigest(std::vector<unsigned char>& digest) const {
  digest.assign(std::begin(m_aDigest), std::end(m_aDigest));
}

std::string CMD5::GetMD5(const unsigned char* pBuf, std::uint32_t nLength) {
  CMD5 md5;
  md5.Update(pBuf, nLength);
  return md5.Final();
}

std::string CMD5::GetMD5(int fd) {
  CMD5 md5;
  unsigned char piece[kPieceBytes];
  for (;;) {
    const ssize_t n = ::read(fd, piece, sizeof piece);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno("MD5: cannot read the file");
    if (n == 0) break;
    md5.Update(piece, static_cast<std::uint32_t>(n));
  }
  return md5.Final();
}

std::string CMD5::GetMD5(const std::string& strFilePath) {
  // O_NONBLOCK keeps the open from waiting for a FIFO's writer; a regular
  // file ignores it.
  zplatform::UniqueFd fd(::open(strFilePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) ThrowErrno("MD5: cannot open " + strFilePath);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) ThrowErrno("MD5: cannot open " + strFilePath);
  if (!S_ISREG(info.st_mode)) {
    errno = EINVAL;
    ThrowErrno("MD5: not a regular file: " + strFilePath);
  }
  // Others may read, but a writer holding the lock keeps us out.
  if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) ThrowErrno("MD5: the file is locked by a writer: " + strFilePath);
  return GetMD5(fd.get());
}

void CMD5::Transform(const unsigned char* block) { TransformBlocks(m_nState, block, 1); }

void CMD5::ByteToDWord(std::uint32_t* output, const unsigned char* input, std::uint32_t nLength) {
  for (std::uint32_t i = 0; i < nLength / 4; ++i) output[i] = LoadLittle(input + 4 * i);
}

void CMD5::DWordToByte(unsigned char* output, const std::uint32_t* input, std::uint32_t nLength) {
  for (std::uint32_t i = 0; i < nLength; ++i) output[i] = static_cast<unsigned char>(input[i / 4] >> (8 * (i % 4)));
}

void CMD5::TransformBlocks(std::uint32_t* state, const unsigned char* data, std::size_t count) {
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (; count > 0; --count, data += kBlockBytes) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLittle(data + 4 * i);
    const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

    FF(a, b, c, d, x[0], 7, 0xd76aa478);   FF(d, a, b, c, x[1], 12, 0xe8c7b756);
    FF(c, d, a, b, x[2], 17, 0x242070db);  FF(b, c, d, a, x[3], 22, 0xc1bdceee);
    FF(a, b, c, d, x[4], 7, 0xf57c0faf);   FF(d, a, b, c, x[5], 12, 0x4787c62a);
    FF(c, d, a, b, x[6], 17, 0xa8304613);  FF(b, c, d, a, x[7], 22, 0xfd469501);
    FF(a, b, c, d, x[8], 7, 0x698098d8);   FF(d, a, b, c, x[9], 12, 0x8b44f7af);
    FF(c, d, a, b, x[10], 17, 0xffff5bb1); FF(b, c, d, a, x[11], 22, 0x895cd7be);
    FF(a, b, c, d, x[12], 7, 0x6b901122);  FF(d, a, b, c, x[13], 12, 0xfd987193);
    FF(c, d, a, b, x[14], 17, 0xa679438e); FF(b, c, d, a, x[15], 22, 0x49b40821);

    GG(a, b, c, d, x[1], 5, 0xf61e2562);   GG(d, a, b, c, x[6], 9, 0xc040b340);
    GG(c, d, a, b, x[11], 14, 0x265e5a51); GG(b, c, d, a, x[0], 20, 0xe9b6c7aa);
    GG(a, b, c, d, x[5], 5, 0xd62f105d);   GG(d, a, b, c, x[10], 9, 0x02441453);
    GG(c, d, a, b, x[15], 14, 0xd8a1e681); GG(b, c, d, a, x[4], 20, 0xe7d3fbc8);
    GG(a, b, c, d, x[9], 5, 0x21e1cde6);   GG(d, a, b, c, x[14], 9, 0xc33707d6);
    GG(c, d, a, b, x[3], 14, 0xf4d50d87);  GG(b, c, d, a, x[8], 20, 0x455a14ed);
    GG(a, b, c, d, x[13], 5, 0xa9e3e905);  GG(d, a, b, c, x[2], 9, 0xfcefa3f8);
    GG(c, d, a, b, x[7], 14, 0x676f02d9);  GG(b, c, d, a, x[12], 20, 0x8d2a4c8a);

    HH(a, b, c, d, x[5], 4, 0xfffa3942);   HH(d, a, b, c, x[8], 11, 0x8771f681);
    HH(c, d, a, b, x[11], 16, 0x6d9d6122); HH(b, c, d, a, x[14], 23, 0xfde5380c);
    HH(a, b, c, d, x[1], 4, 0xa4beea44);   HH(d, a, b, c, x[4], 11, 0x4bdecfa9);
    HH(c, d, a, b, x[7], 16, 0xf6bb4b60);  HH(b, c, d, a, x[10], 23, 0xbebfbc70);
    HH(a, b, c, d, x[13], 4, 0x289b7ec6);  HH(d, a, b, c, x[0], 11, 0xeaa127fa);
    HH(c, d, a, b, x[3], 16, 0xd4ef3085);  HH(b, c, d, a, x[6], 23, 0x04881d05);
    HH(a, b, c, d, x[9], 4, 0xd9d4d039);   HH(d, a, b, c, x[12], 11, 0xe6db99e5);
    HH(c, d, a, b, x[15], 16, 0x1fa27cf8); HH(b, c, d, a, x[2], 23, 0xc4ac5665);

    II(a, b, c, d, x[0], 6, 0xf4292244);   II(d, a, b, c, x[7], 10, 0x432aff97);
    II(c, d, a, b, x[14], 15, 0xab9423a7); II(b, c, d, a, x[5], 21, 0xfc93a039);
    II(a, b, c, d, x[12], 6, 0x655b59c3);  II(d, a, b, c, x[3], 10, 0x8f0ccc92);
    II(c, d, a, b, x[10], 15, 0xffeff47d); II(b, c, d, a, x[1], 21, 0x85845dd1);
    II(a, b, c, d, x[8], 6, 0x6fa87e4f);   II(d, a, b, c, x[15], 10, 0xfe2ce6e0);
    II(c, d, a, b, x[6], 15, 0xa3014314);  II(b, c, d, a, x[13], 21, 0x4e0811a1);
    II(a, b, c, d, x[4], 6, 0xf7537e82);   II(d, a, b, c, x[11], 10, 0xbd3af235);
    II(c, d, a, b, x[2], 15, 0x2ad7d2bb);  II(b, c, d, a, x[9], 21, 0xeb86d391);

    a += a0;
    b += b0;
    c += c0;
    d += d0;
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
}
