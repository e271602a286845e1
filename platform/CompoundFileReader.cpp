// The compound-file reader.
#include "CompoundFileReader.h"

#include <zplatform/FdIo.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace zplatform::cfb {
namespace {

// Reads exactly size bytes at offset; the part past the end of the file
// (a last sector cut short) reads as zeros.
HRESULT ReadAt(int fd, std::uint64_t offset, void* data, std::size_t size) {
  const ssize_t got = PreadFully(fd, data, size, offset);
  if (got < 0) return STG_E_READFAULT;
  std::fill_n(static_cast<std::uint8_t*>(data) + got, size - static_cast<std::size_t>(got), std::uint8_t{0});
  return S_OK;
}

struct Reader {
  int fd;
  BaseLayout& layout;
  Header header;
  std::uint64_t sectorSize = 0;

  std::uint64_t OffsetOf(std::uint32_t sector) const {
    return (static_cast<std::uint64_t>(sector) + 1) << layout.sectorShift;
  }
  bool InFile(std::uint32_t sector) const { return sector < layout.sectorCount; }

  // Follows a FAT chain of at most limit sectors that must end with
  // ENDOFCHAIN; fails on a sector outside the file or a repeated one.
  HRESULT Walk(std::uint32_t start, std::uint64_t limit, std::vector<std::uint32_t>& out) const {
    std::vector<bool> seen(layout.sectorCount, false);
    for (std::uint32_t s = start; s != kEndOfChain; s = layout.fat[s]) {
      if (!InFile(s) || s >= layout.fat.size() || seen[s] || out.size() >= limit) return STG_E_DOCFILECORRUPT;
      seen[s] = true;
      out.push_back(s);
    }
    return S_OK;
  }

  HRESULT ReadTable(const std::vector<std::uint32_t>& sectors, std::vector<std::uint32_t>& table) const {
    std::vector<std::uint8_t> bytes(sectorSize);
    table.reserve(sectors.size() * (sectorSize / 4));
    for (const std::uint32_t s : sectors) {
      if (const HRESULT hr = ReadAt(fd, OffsetOf(s), bytes.data(), bytes.size()); FAILED(hr)) return hr;
      for (std::size_t i = 0; i < bytes.size(); i += 4) table.push_back(LoadU32(bytes.data() + i));
    }
    return S_OK;
  }

  // The FAT's sectors: the header's first 109, then the DIFAT chain.
  HRESULT LoadFat() {
    const std::uint32_t count = header.numFatSectors;
    if (count > layout.sectorCount || header.numDifatSectors > layout.sectorCount) return STG_E_DOCFILECORRUPT;
    std::vector<std::uint32_t> fatSectors(header.difat.begin(),
                                          header.difat.begin() + std::min<std::size_t>(count, kHeaderDifatEntries));
    std::vector<bool> seen(layout.sectorCount, false);
    std::vector<std::uint8_t> bytes(sectorSize);
    std::uint32_t next = header.firstDifatSector;
    for (std::uint32_t i = 0; fatSectors.size() < count; ++i) {
      if (i >= header.numDifatSectors || !InFile(next) || seen[next]) return STG_E_DOCFILECORRUPT;
      seen[next] = true;
      if (const HRESULT hr = ReadAt(fd, OffsetOf(next), bytes.data(), bytes.size()); FAILED(hr)) return hr;
      const std::size_t perSector = sectorSize / 4 - 1;
      for (std::size_t j = 0; j < perSector && fatSectors.size() < count; ++j)
        fatSectors.push_back(LoadU32(bytes.data() + 4 * j));
      next = LoadU32(bytes.data() + 4 * perSector);
    }
    if (!std::all_of(fatSectors.begin(), fatSectors.end(), [&](std::uint32_t s) { return InFile(s); }))
      return STG_E_DOCFILECORRUPT;
    return ReadTable(fatSectors, layout.fat);
  }

  HRESULT LoadMiniFat() {
    if (header.numMiniFatSectors > layout.sectorCount) return STG_E_DOCFILECORRUPT;
    std::vector<std::uint32_t> sectors;
    if (header.numMiniFatSectors == 0 && header.firstMiniFatSector == kEndOfChain) return S_OK;
    if (const HRESULT hr = Walk(header.firstMiniFatSector, layout.sectorCount, sectors); FAILED(hr)) return hr;
    return ReadTable(sectors, layout.miniFat);
  }

  HRESULT LoadDirectory(std::vector<DirEntry>& entries) const {
    std::vector<std::uint32_t> sectors;
    if (const HRESULT hr = Walk(header.firstDirSector, layout.sectorCount, sectors); FAILED(hr)) return hr;
    std::vector<std::uint8_t> bytes(sectorSize);
    for (const std::uint32_t s : sectors) {
      if (const HRESULT hr = ReadAt(fd, OffsetOf(s), bytes.data(), bytes.size()); FAILED(hr)) return hr;
      for (std::size_t at = 0; at < bytes.size(); at += kDirEntrySize) {
        entries.emplace_back();
        // A malformed entry is harmless until something links to it.
        if (!ParseDirEntry(std::span<const std::uint8_t, kDirEntrySize>(bytes.data() + at, kDirEntrySize),
                           header.majorVersion, entries.back()))
          entries.back().type = static_cast<EntryType>(0xFF);
      }
    }
    if (entries.empty() || entries[0].type != EntryType::Root) return STG_E_DOCFILECORRUPT;
    return S_OK;
  }

  HRESULT LoadMiniStreamContainer(const DirEntry& root) {
    layout.containerSize = root.size;
    if (root.size == 0) return S_OK;
    if (root.size > layout.sectorCount * sectorSize) return STG_E_DOCFILECORRUPT;
    const std::uint64_t needed = (root.size + sectorSize - 1) / sectorSize;
    if (const HRESULT hr = Walk(root.start, layout.sectorCount, layout.containerSectors); FAILED(hr)) return hr;
    return layout.containerSectors.size() < needed ? STG_E_DOCFILECORRUPT : S_OK;
  }
};

NodePtr NodeFor(const DirEntry& entry) {
  auto node = std::make_shared<Node>();
  node->name = entry.name;
  node->type = entry.type;
  node->clsid = entry.clsid;
  node->stateBits = entry.stateBits;
  node->ctime = entry.ctime;
  node->mtime = entry.mtime;
  if (entry.type == EntryType::Stream) {
    node->size = entry.size;
    node->start = entry.start;
    node->mini = entry.size < kMiniStreamCutoff;
    node->data = entry.size == 0 ? Node::Data::Base : Node::Data::Unread;
  }
  return node;
}

// Builds the tree from the directory without recursion and without trusting
// its shape: any entry reached twice (a cycle or a shared subtree), a link
// outside the directory, an unused or second root entry, or two elements of
// one name in a storage make the file corrupt. Sibling trees may be of any
// shape (some writers make a right-leaning list).
HRESULT BuildTree(const std::vector<DirEntry>& entries, NodePtr& root) {
  std::vector<bool> seen(entries.size(), false);
  seen[0] = true;
  root = NodeFor(entries[0]);
  root->type = EntryType::Root;
  std::vector<std::pair<std::uint32_t, Node*>> pending;  // (entry id, storage it belongs to)
  if (entries[0].child != kNoStream) pending.emplace_back(entries[0].child, root.get());
  while (!pending.empty()) {
    const auto [id, parent] = pending.back();
    pending.pop_back();
    if (id >= entries.size() || seen[id]) return STG_E_DOCFILECORRUPT;
    seen[id] = true;
    const DirEntry& entry = entries[id];
    if (entry.type != EntryType::Storage && entry.type != EntryType::Stream) return STG_E_DOCFILECORRUPT;
    NodePtr node = NodeFor(entry);
    Node* raw = node.get();
    if (!parent->children.emplace(entry.name, std::move(node)).second) return STG_E_DOCFILECORRUPT;
    if (entry.left != kNoStream) pending.emplace_back(entry.left, parent);
    if (entry.right != kNoStream) pending.emplace_back(entry.right, parent);
    if (entry.type == EntryType::Storage && entry.child != kNoStream) pending.emplace_back(entry.child, raw);
  }
  return S_OK;
}

// Appends the file run [offset, offset + length) to extents, joined to the
// last one when adjacent.
void AddExtent(std::vector<Extent>& extents, std::uint64_t offset, std::uint64_t length) {
  if (!extents.empty() && extents.back().offset + extents.back().length == offset)
    extents.back().length += length;
  else
    extents.push_back({offset, length});
}

HRESULT ResolveRegular(const BaseLayout& layout, Node& node) {
  const std::uint64_t sectorSize = std::uint64_t{1} << layout.sectorShift;
  const std::uint64_t needed = (node.size + sectorSize - 1) / sectorSize;
  if (needed > layout.sectorCount) return STG_E_DOCFILECORRUPT;  // a size larger than the file
  std::vector<Extent> extents;
  std::uint64_t left = node.size;
  std::uint32_t s = node.start;
  for (std::uint64_t i = 0; i < needed; ++i, s = layout.fat[s]) {
    if (s >= layout.sectorCount || s >= layout.fat.size()) return STG_E_DOCFILECORRUPT;
    const std::uint64_t length = std::min(left, sectorSize);
    AddExtent(extents, (static_cast<std::uint64_t>(s) + 1) << layout.sectorShift, length);
    left -= length;
  }
  // A chain that comes back on itself gives overlapping runs.
  std::vector<Extent> sorted = extents;
  std::sort(sorted.begin(), sorted.end(), [](const Extent& a, const Extent& b) { return a.offset < b.offset; });
  for (std::size_t i = 1; i < sorted.size(); ++i)
    if (sorted[i - 1].offset + sorted[i - 1].length > sorted[i].offset) return STG_E_DOCFILECORRUPT;
  node.extents = std::move(extents);
  return S_OK;
}

HRESULT ResolveMini(const BaseLayout& layout, Node& node) {
  const std::uint64_t sectorMask = (std::uint64_t{1} << layout.sectorShift) - 1;
  const std::uint64_t needed = (node.size + kMiniSectorSize - 1) / kMiniSectorSize;  // at most 64
  std::vector<Extent> extents;
  std::vector<std::uint32_t> used;
  std::uint64_t left = node.size;
  std::uint32_t m = node.start;
  for (std::uint64_t i = 0; i < needed; ++i, m = layout.miniFat[m]) {
    if (m >= layout.miniFat.size() || (static_cast<std::uint64_t>(m) + 1) * kMiniSectorSize > layout.containerSize ||
        std::find(used.begin(), used.end(), m) != used.end())
      return STG_E_DOCFILECORRUPT;
    used.push_back(m);
    const std::uint64_t within = static_cast<std::uint64_t>(m) * kMiniSectorSize;
    const std::uint64_t index = within >> layout.sectorShift;
    if (index >= layout.containerSectors.size()) return STG_E_DOCFILECORRUPT;
    const std::uint64_t length = std::min<std::uint64_t>(left, kMiniSectorSize);
    AddExtent(extents,
              ((static_cast<std::uint64_t>(layout.containerSectors[index]) + 1) << layout.sectorShift) +
                  (within & sectorMask),
              length);
    left -= length;
  }
  node.extents = std::move(extents);
  return S_OK;
}

}  // namespace

HRESULT ReadCompoundFile(int fd, BaseLayout& layout, NodePtr& root) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return STG_E_READFAULT;
  const auto fileSize = static_cast<std::uint64_t>(st.st_size);
  std::array<std::uint8_t, kHeaderSize> bytes{};
  if (fileSize < kHeaderSize) return STG_E_FILEALREADYEXISTS;
  if (const HRESULT hr = ReadAt(fd, 0, bytes.data(), bytes.size()); FAILED(hr)) return hr;

  Reader reader{fd, layout, {}};
  switch (ParseHeader(bytes, reader.header)) {
    case HeaderStatus::NotCompoundFile: return STG_E_FILEALREADYEXISTS;
    case HeaderStatus::BadHeader: return STG_E_INVALIDHEADER;
    case HeaderStatus::Ok: break;
  }
  layout.sectorShift = reader.header.sectorShift;
  reader.sectorSize = std::uint64_t{1} << layout.sectorShift;
  if (fileSize < reader.sectorSize) return STG_E_INVALIDHEADER;
  layout.sectorCount = std::min<std::uint64_t>((fileSize - reader.sectorSize + reader.sectorSize - 1) / reader.sectorSize,
                                               kMaxRegularSector);

  if (HRESULT hr = reader.LoadFat(); FAILED(hr)) return hr;
  if (HRESULT hr = reader.LoadMiniFat(); FAILED(hr)) return hr;
  std::vector<DirEntry> entries;
  if (HRESULT hr = reader.LoadDirectory(entries); FAILED(hr)) return hr;
  if (HRESULT hr = reader.LoadMiniStreamContainer(entries[0]); FAILED(hr)) return hr;
  return BuildTree(entries, root);
}

HRESULT ResolveStream(const BaseLayout& layout, Node& node) {
  if (node.data != Node::Data::Unread) return S_OK;
  const HRESULT hr = node.mini ? ResolveMini(layout, node) : ResolveRegular(layout, node);
  if (SUCCEEDED(hr)) node.data = Node::Data::Base;
  return hr;
}

}  // namespace zplatform::cfb
