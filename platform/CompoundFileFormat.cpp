// Header and directory entry codecs, and the rules of element names.
#include "CompoundFileFormat.h"

#include <QChar>

#include <algorithm>
#include <cstring>

namespace zplatform::cfb {
namespace {

// Header field offsets.
constexpr std::size_t kOffMinor = 0x18;
constexpr std::size_t kOffMajor = 0x1A;
constexpr std::size_t kOffByteOrder = 0x1C;
constexpr std::size_t kOffSectorShift = 0x1E;
constexpr std::size_t kOffMiniShift = 0x20;
constexpr std::size_t kOffNumDir = 0x28;
constexpr std::size_t kOffNumFat = 0x2C;
constexpr std::size_t kOffFirstDir = 0x30;
constexpr std::size_t kOffCutoff = 0x38;
constexpr std::size_t kOffFirstMiniFat = 0x3C;
constexpr std::size_t kOffNumMiniFat = 0x40;
constexpr std::size_t kOffFirstDifat = 0x44;
constexpr std::size_t kOffNumDifat = 0x48;
constexpr std::size_t kOffDifat = 0x4C;

// Directory entry field offsets.
constexpr std::size_t kOffNameLength = 0x40;
constexpr std::size_t kOffType = 0x42;
constexpr std::size_t kOffColor = 0x43;
constexpr std::size_t kOffLeft = 0x44;
constexpr std::size_t kOffRight = 0x48;
constexpr std::size_t kOffChild = 0x4C;
constexpr std::size_t kOffClsid = 0x50;
constexpr std::size_t kOffStateBits = 0x60;
constexpr std::size_t kOffCtime = 0x64;
constexpr std::size_t kOffMtime = 0x6C;
constexpr std::size_t kOffStart = 0x74;
constexpr std::size_t kOffSize = 0x78;
constexpr std::size_t kNameFieldBytes = 64;

char16_t Upper(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  return QChar(c).toUpper().unicode();
}

void LoadGuid(const std::uint8_t* p, GUID& guid) {
  guid.Data1 = LoadU32(p);
  guid.Data2 = LoadU16(p + 4);
  guid.Data3 = LoadU16(p + 6);
  std::memcpy(guid.Data4, p + 8, sizeof guid.Data4);
}

void StoreGuid(std::uint8_t* p, const GUID& guid) {
  StoreU32(p, guid.Data1);
  StoreU16(p + 4, guid.Data2);
  StoreU16(p + 6, guid.Data3);
  std::memcpy(p + 8, guid.Data4, sizeof guid.Data4);
}

}  // namespace

HeaderStatus ParseHeader(std::span<const std::uint8_t, kHeaderSize> bytes, Header& header) {
  if (!std::equal(kSignature.begin(), kSignature.end(), bytes.begin())) return HeaderStatus::NotCompoundFile;
  const std::uint8_t* p = bytes.data();
  header.majorVersion = LoadU16(p + kOffMajor);
  header.sectorShift = LoadU16(p + kOffSectorShift);
  const bool v3 = header.majorVersion == 3 && header.sectorShift == 9;
  const bool v4 = header.majorVersion == 4 && header.sectorShift == 12;
  if (LoadU16(p + kOffByteOrder) != 0xFFFE || !(v3 || v4) || LoadU16(p + kOffMiniShift) != 6 ||
      LoadU32(p + kOffCutoff) != kMiniStreamCutoff)
    return HeaderStatus::BadHeader;
  header.numDirSectors = LoadU32(p + kOffNumDir);
  header.numFatSectors = LoadU32(p + kOffNumFat);
  header.firstDirSector = LoadU32(p + kOffFirstDir);
  header.firstMiniFatSector = LoadU32(p + kOffFirstMiniFat);
  header.numMiniFatSectors = LoadU32(p + kOffNumMiniFat);
  header.firstDifatSector = LoadU32(p + kOffFirstDifat);
  header.numDifatSectors = LoadU32(p + kOffNumDifat);
  for (std::size_t i = 0; i < kHeaderDifatEntries; ++i) header.difat[i] = LoadU32(p + kOffDifat + 4 * i);
  return HeaderStatus::Ok;
}

void SerializeHeader(const Header& header, std::span<std::uint8_t, kHeaderSize> out) {
  std::uint8_t* p = out.data();
  std::memset(p, 0, kHeaderSize);
  std::copy(kSignature.begin(), kSignature.end(), p);
  StoreU16(p + kOffMinor, 0x003E);
  StoreU16(p + kOffMajor, header.majorVersion);
  StoreU16(p + kOffByteOrder, 0xFFFE);
  StoreU16(p + kOffSectorShift, header.sectorShift);
  StoreU16(p + kOffMiniShift, 6);
  StoreU32(p + kOffNumDir, header.numDirSectors);
  StoreU32(p + kOffNumFat, header.numFatSectors);
  StoreU32(p + kOffFirstDir, header.firstDirSector);
  StoreU32(p + kOffCutoff, static_cast<std::uint32_t>(kMiniStreamCutoff));
  StoreU32(p + kOffFirstMiniFat, header.firstMiniFatSector);
  StoreU32(p + kOffNumMiniFat, header.numMiniFatSectors);
  StoreU32(p + kOffFirstDifat, header.firstDifatSector);
  StoreU32(p + kOffNumDifat, header.numDifatSectors);
  for (std::size_t i = 0; i < kHeaderDifatEntries; ++i) StoreU32(p + kOffDifat + 4 * i, header.difat[i]);
}

bool ParseDirEntry(std::span<const std::uint8_t, kDirEntrySize> bytes, int majorVersion, DirEntry& entry) {
  const std::uint8_t* p = bytes.data();
  entry.type = static_cast<EntryType>(p[kOffType]);
  if (entry.type != EntryType::Unused && entry.type != EntryType::Storage && entry.type != EntryType::Stream &&
      entry.type != EntryType::Root)
    return false;
  const std::uint16_t nameBytes = LoadU16(p + kOffNameLength);
  entry.name.clear();
  if (entry.type != EntryType::Unused) {
    // The length counts the terminator: 2 to 64 bytes, even, ending in NUL.
    if (nameBytes < 2 || nameBytes > kNameFieldBytes || nameBytes % 2 != 0) return false;
    const std::size_t chars = nameBytes / 2 - 1;
    if (LoadU16(p + 2 * chars) != 0) return false;
    for (std::size_t i = 0; i < chars; ++i) {
      const char16_t c = LoadU16(p + 2 * i);
      if (c == 0) return false;
      entry.name.push_back(c);
    }
  }
  entry.color = p[kOffColor] == 0 ? Color::Red : Color::Black;
  entry.left = LoadU32(p + kOffLeft);
  entry.right = LoadU32(p + kOffRight);
  entry.child = LoadU32(p + kOffChild);
  LoadGuid(p + kOffClsid, entry.clsid);
  entry.stateBits = LoadU32(p + kOffStateBits);
  entry.ctime = LoadU64(p + kOffCtime);
  entry.mtime = LoadU64(p + kOffMtime);
  entry.start = LoadU32(p + kOffStart);
  // Version 3 writers may leave garbage in the high half of the size.
  entry.size = majorVersion == 3 ? LoadU32(p + kOffSize) : LoadU64(p + kOffSize);
  return true;
}

void SerializeDirEntry(const DirEntry& entry, std::span<std::uint8_t, kDirEntrySize> out) {
  std::uint8_t* p = out.data();
  std::memset(p, 0, kDirEntrySize);
  const std::size_t chars = std::min(entry.name.size(), kMaxNameChars);
  for (std::size_t i = 0; i < chars; ++i) StoreU16(p + 2 * i, entry.name[i]);
  StoreU16(p + kOffNameLength, entry.type == EntryType::Unused ? 0 : static_cast<std::uint16_t>(2 * (chars + 1)));
  p[kOffType] = static_cast<std::uint8_t>(entry.type);
  p[kOffColor] = static_cast<std::uint8_t>(entry.color);
  StoreU32(p + kOffLeft, entry.left);
  StoreU32(p + kOffRight, entry.right);
  StoreU32(p + kOffChild, entry.child);
  StoreGuid(p + kOffClsid, entry.clsid);
  StoreU32(p + kOffStateBits, entry.stateBits);
  StoreU64(p + kOffCtime, entry.ctime);
  StoreU64(p + kOffMtime, entry.mtime);
  StoreU32(p + kOffStart, entry.start);
  StoreU64(p + kOffSize, entry.size);
}

bool IsValidElementName(std::u16string_view name) {
  if (name.empty() || name.size() > kMaxNameChars) return false;
  return std::none_of(name.begin(), name.end(),
                      [](char16_t c) { return c == 0 || c == u'/' || c == u'\\' || c == u':' || c == u'!'; });
}

int CompareNames(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char16_t ua = Upper(a[i]);
    const char16_t ub = Upper(b[i]);
    if (ua != ub) return ua < ub ? -1 : 1;
  }
  return 0;
}

}  // namespace zplatform::cfb
