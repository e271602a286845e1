// The on-disk layout of a compound file (Compound File Binary format): the
// header, directory entries, special sector numbers, and the order and rules
// of element names. Shared by the reader and the writer; no I/O here.
#pragma once

#include <zplatform/Com.h>
#include <zplatform/WinTypes.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zplatform::cfb {

inline constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFAu;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFCu;
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFDu;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFFu;
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFFu;

inline constexpr std::size_t kHeaderSize = 512;
inline constexpr std::size_t kHeaderDifatEntries = 109;
inline constexpr std::size_t kDirEntrySize = 128;
inline constexpr std::size_t kMiniSectorSize = 64;
inline constexpr std::uint64_t kMiniStreamCutoff = 4096;
inline constexpr std::size_t kMaxNameChars = 31;  // plus the terminator: 64 bytes
inline constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

enum class EntryType : std::uint8_t { Unused = 0, Storage = 1, Stream = 2, Root = 5 };
enum class Color : std::uint8_t { Red = 0, Black = 1 };

struct Header {
  std::uint16_t majorVersion = 3;
  std::uint16_t sectorShift = 9;
  std::uint32_t numDirSectors = 0;
  std::uint32_t numFatSectors = 0;
  std::uint32_t firstDirSector = kEndOfChain;
  std::uint32_t firstMiniFatSector = kEndOfChain;
  std::uint32_t numMiniFatSectors = 0;
  std::uint32_t firstDifatSector = kEndOfChain;
  std::uint32_t numDifatSectors = 0;
  std::array<std::uint32_t, kHeaderDifatEntries> difat{};
};

struct DirEntry {
  std::u16string name;
  EntryType type = EntryType::Unused;
  Color color = Color::Black;
  std::uint32_t left = kNoStream;
  std::uint32_t right = kNoStream;
  std::uint32_t child = kNoStream;
  CLSID clsid{};
  std::uint32_t stateBits = 0;
  std::uint64_t ctime = 0;
  std::uint64_t mtime = 0;
  std::uint32_t start = 0;
  std::uint64_t size = 0;
};

enum class HeaderStatus { Ok, NotCompoundFile, BadHeader };

// Reads the fixed fields of the first 512 bytes; checks signature, byte
// order, version and sector sizes. Counts are checked by the reader against
// the file's size.
[[nodiscard]] HeaderStatus ParseHeader(std::span<const std::uint8_t, kHeaderSize> bytes, Header& header);
void SerializeHeader(const Header& header, std::span<std::uint8_t, kHeaderSize> out);

// False for an entry whose name field is malformed (length not even, over
// 64 bytes, no terminator where the length puts it) or whose type is unknown.
// For version 3 files only the low 32 bits of the size count.
[[nodiscard]] bool ParseDirEntry(std::span<const std::uint8_t, kDirEntrySize> bytes, int majorVersion, DirEntry& entry);
void SerializeDirEntry(const DirEntry& entry, std::span<std::uint8_t, kDirEntrySize> out);

// Whether name can be the name of a new element: 1 to 31 characters, none of
// '/', '\\', ':', '!' and no NUL.
bool IsValidElementName(std::u16string_view name);

// The format's order of names in a storage: shorter names first, names of
// one length by their upper-case characters. Equal means the same element.
int CompareNames(std::u16string_view a, std::u16string_view b);
struct NameOrder {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const { return CompareNames(a, b) < 0; }
};

inline std::uint16_t LoadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t LoadU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadU32(p)) | (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}
inline void StoreU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreU64(std::uint8_t* p, std::uint64_t v) {
  StoreU32(p, static_cast<std::uint32_t>(v));
  StoreU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace zplatform::cfb
