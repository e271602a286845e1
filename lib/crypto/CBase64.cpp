#include "zerth/CBase64.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>

namespace {

// Whole groups of three bytes (four characters) go through tables; the bit
// reader and writer handle what does not fall on a group: the short last
// group of Encode, and Decode wherever "=" shifts the groups. Both paths give
// the same bytes, because a group always starts with an empty bit store.

constexpr unsigned char kInvalid = 0xFF;
constexpr unsigned char kSkip = 0xFE;

// Value of each character by its lowest 7 bits: a byte of 0x80 or above
// counts as the character with that bit cleared.
constexpr std::array<unsigned char, 256> MakeDecodeTable() {
  std::array<unsigned char, 256> table{};
  for (auto& entry : table) entry = kInvalid;
  for (int v = 0; v < 64; ++v) {
    const auto c = static_cast<unsigned char>(CBase64::m_sBase64Alphabet[v]);
    table[c] = static_cast<unsigned char>(v);
    table[c | 0x80] = static_cast<unsigned char>(v);
  }
  table['='] = kSkip;
  table['=' | 0x80] = kSkip;
  return table;
}
constexpr std::array<unsigned char, 256> kDecode = MakeDecodeTable();

// The value of a character already shifted to its place in a 24-bit group;
// kNotValue for "=" and invalid characters, which leave the fast path.
constexpr std::uint32_t kNotValue = 0x80000000u;
constexpr std::array<std::uint32_t, 256> MakeShiftedTable(int shift) {
  std::array<std::uint32_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const unsigned char v = kDecode[static_cast<std::size_t>(c)];
    table[static_cast<std::size_t>(c)] = v >= 64 ? kNotValue : static_cast<std::uint32_t>(v) << shift;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kDecode0 = MakeShiftedTable(18);
constexpr std::array<std::uint32_t, 256> kDecode1 = MakeShiftedTable(12);
constexpr std::array<std::uint32_t, 256> kDecode2 = MakeShiftedTable(6);
constexpr std::array<std::uint32_t, 256> kDecode3 = MakeShiftedTable(0);

// Two characters for every 12-bit value: half a group per look-up.
constexpr std::array<char, 8192> MakePairTable() {
  std::array<char, 8192> table{};
  for (int v = 0; v < 4096; ++v) {
    table[static_cast<std::size_t>(2 * v)] = CBase64::m_sBase64Alphabet[v >> 6];
    table[static_cast<std::size_t>(2 * v + 1)] = CBase64::m_sBase64Alphabet[v & 63];
  }
  return table;
}
constexpr std::array<char, 8192> kPairs = MakePairTable();

// The same pairs as 16-bit words that hold the two characters in the byte
// order of memory.
constexpr std::array<std::uint16_t, 4096> MakePairWords() {
  std::array<std::uint16_t, 4096> table{};
  for (std::size_t v = 0; v < 4096; ++v) {
    const auto first = static_cast<std::uint16_t>(static_cast<unsigned char>(kPairs[2 * v]));
    const auto second = static_cast<std::uint16_t>(static_cast<unsigned char>(kPairs[2 * v + 1]));
    table[v] = std::endian::native == std::endian::little ? static_cast<std::uint16_t>(first | (second << 8))
                                                          : static_cast<std::uint16_t>((first << 8) | second);
  }
  return table;
}
constexpr std::array<std::uint16_t, 4096> kPairWords = MakePairWords();

std::uint64_t LoadBigEndian64(const unsigned char* in) {
  std::uint64_t word;
  std::memcpy(&word, in, sizeof word);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word;
}

// The eight characters of the first 48 bits of word, in the byte order of
// memory.
std::uint64_t EightCharacters(std::uint64_t word) {
  const std::uint64_t pairs[4] = {kPairWords[(word >> 52) & 0xFFF], kPairWords[(word >> 40) & 0xFFF],
                                  kPairWords[(word >> 28) & 0xFFF], kPairWords[(word >> 16) & 0xFFF]};
  if constexpr (std::endian::native == std::endian::little)
    return pairs[0] | (pairs[1] << 16) | (pairs[2] << 32) | (pairs[3] << 48);
  else
    return (pairs[0] << 48) | (pairs[1] << 32) | (pairs[2] << 16) | pairs[3];
}

}  // namespace

CBase64::~CBase64() = default;

std::string CBase64::Encode(const char* data, int length) {
  if (data == nullptr || length <= 0) return {};
  m_szInput = data;
  m_nInputSize = length;
  m_nBitsRemaining = 0;

  const auto size = static_cast<std::size_t>(length);
  const std::size_t groups = size / 3;
  std::string text((size + 2) / 3 * 4, '=');
  const auto* in = reinterpret_cast<const unsigned char*>(data);
  char* out = text.data();
  // Two groups per step from one 8-byte load, while 8 bytes are there to read.
  const std::size_t doubleSteps = size >= 8 ? std::min(groups / 2, (size - 8) / 6 + 1) : 0;
  for (std::size_t k = 0; k < doubleSteps; ++k, in += 6, out += 8) {
    const std::uint64_t eight = EightCharacters(LoadBigEndian64(in));
    std::memcpy(out, &eight, sizeof eight);
  }
  std::size_t g = 2 * doubleSteps;
  for (; g < groups; ++g, in += 3, out += 4) {
    const std::uint32_t bits = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    char four[4];
    std::memcpy(four, &kPairs[2 * (bits >> 12)], 2);
    std::memcpy(four + 2, &kPairs[2 * (bits & 0xFFF)], 2);
    std::memcpy(out, four, 4);
  }

  if (size % 3 == 0) return text;
  // The short last group, zero bits added on the right; "=" is already there.
  int current = static_cast<int>(groups * 3);
  for (int bitsRead = 0;;) {
    const unsigned value = read_bits(6, bitsRead, current);
    if (bitsRead == 0) break;
    *out++ = m_sBase64Alphabet[value];
  }
  return text;
}

int CBase64::Decode(const char* text, char* out) {
  if (text == nullptr || out == nullptr) return 0;
  const std::size_t length = std::strlen(text);
  // The written count is an int; past INT_MAX characters it could not be told.
  if (length == 0 || length > static_cast<std::size_t>(INT_MAX)) return 0;
  std::memset(out, 0, length + 1);

  m_nBitsRemaining = 0;
  m_lBitStorage = 0;
  int written = 0;
  const auto* in = reinterpret_cast<const unsigned char*>(text);
  std::size_t i = 0;
  while (i < length) {
    if (m_nBitsRemaining == 0) {
      for (; i + 4 <= length; i += 4, written += 3) {
        const std::uint32_t bits = kDecode0[in[i]] | kDecode1[in[i + 1]] | kDecode2[in[i + 2]] | kDecode3[in[i + 3]];
        if (bits & kNotValue) break;
        out[written] = static_cast<char>(bits >> 16);
        out[written + 1] = static_cast<char>(bits >> 8);
        out[written + 2] = static_cast<char>(bits);
      }
      if (i == length) break;
    }
    // One character at a time until the groups line up again.
    const unsigned char value = kDecode[in[i]];
    if (value == kInvalid) return 0;
    if (value != kSkip) write_bits(value, 6, out, written);
    ++i;
  }
  return written;
}

unsigned CBase64::read_bits(int numBits, int& bitsRead, int& current) {
  numBits = std::clamp(numBits, 0, 8);
  while (m_nBitsRemaining < numBits && current < m_nInputSize) {
    m_lBitStorage = (m_lBitStorage << 8) | static_cast<unsigned char>(m_szInput[current]);
    m_nBitsRemaining += 8;
    ++current;
  }
  std::uint32_t bits;
  if (m_nBitsRemaining < numBits) {
    bits = m_lBitStorage << (numBits - m_nBitsRemaining);
    bitsRead = m_nBitsRemaining;
    m_nBitsRemaining = 0;
  } else {
    bits = m_lBitStorage >> (m_nBitsRemaining - numBits);
    bitsRead = numBits;
    m_nBitsRemaining -= numBits;
  }
  return bits & static_cast<std::uint32_t>(m_nMask[numBits]);
}

void CBase64::write_bits(unsigned value, int numBits, char* output, int& written) {
  numBits = std::clamp(numBits, 0, 8);
  m_lBitStorage = (m_lBitStorage << numBits) | value;
  m_nBitsRemaining += numBits;
  while (m_nBitsRemaining > 7) {
    output[written] = static_cast<char>((m_lBitStorage >> (m_nBitsRemaining - 8)) & 0xFF);
    ++written;
    m_nBitsRemaining -= 8;
  }
}
