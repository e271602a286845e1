// The compound-file writer.
#include "CompoundFileWriter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace zplatform::cfb {
namespace {

constexpr std::uint64_t kSectorSize = 512;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr std::size_t kBufferSize = 1 << 20;

std::uint64_t SectorsFor(std::uint64_t bytes, std::uint64_t unit) { return (bytes + unit - 1) / unit; }

// An element with the id it gets in the directory.
struct Placed {
  Node* node;
  DirEntry entry;
};

// Builds the sibling tree of one storage's children (ids first..first+n-1 in
// name order) as a tree of minimal height: every level full but the last,
// whose nodes are red and all others black, which satisfies the red-black
// rules (equal black count on every path, no red node with a red child).
std::uint32_t BuildSiblingTree(std::vector<Placed>& all, std::uint32_t first, std::uint32_t lo, std::uint32_t hi,
                               unsigned depth, unsigned fullLevels) {
  if (lo >= hi) return kNoStream;
  const std::uint32_t mid = lo + (hi - lo) / 2;
  DirEntry& entry = all[first + mid].entry;
  entry.color = depth == fullLevels ? Color::Red : Color::Black;
  entry.left = BuildSiblingTree(all, first, lo, mid, depth + 1, fullLevels);
  entry.right = BuildSiblingTree(all, first, mid + 1, hi, depth + 1, fullLevels);
  return first + mid;
}

unsigned FullLevels(std::uint32_t count) {
  unsigned levels = 0;
  while ((std::uint64_t{1} << (levels + 1)) - 1 <= count) ++levels;
  return levels;
}

DirEntry EntryFor(const Node& node) {
  DirEntry entry;
  entry.name = node.name;
  entry.type = node.type;
  entry.clsid = node.clsid;
  entry.stateBits = node.stateBits;
  entry.ctime = node.ctime;
  entry.mtime = node.mtime;
  entry.start = node.type == EntryType::Stream ? kEndOfChain : 0;
  entry.size = node.type == EntryType::Stream ? node.size : 0;
  return entry;
}

// Directory ids: the root 0, then each storage's children together, in
// name order, storage by storage (breadth first, so no recursion).
std::vector<Placed> NumberElements(Node& root) {
  std::vector<Placed> all;
  all.push_back({&root, EntryFor(root)});
  all[0].entry.type = EntryType::Root;
  for (std::size_t i = 0; i < all.size(); ++i) {
    Node& storage = *all[i].node;
    if (storage.children.empty()) continue;
    const auto first = static_cast<std::uint32_t>(all.size());
    for (auto& [name, child] : storage.children) all.push_back({child.get(), EntryFor(*child)});
    const auto count = static_cast<std::uint32_t>(storage.children.size());
    all[i].entry.child = BuildSiblingTree(all, first, 0, count, 0, FullLevels(count));
  }
  return all;
}

// Where everything goes, in sectors after the header.
struct Layout {
  std::uint64_t miniSectors = 0;
  std::uint64_t containerStart = 0, containerSectors = 0;
  std::uint64_t miniFatStart = 0, miniFatSectors = 0;
  std::uint64_t dirStart = 0, dirSectors = 0;
  std::uint64_t fatStart = 0, fatSectors = 0;
  std::uint64_t difatStart = 0, difatSectors = 0;
  std::uint64_t total = 0;
};

Layout PlanLayout(std::vector<Placed>& all) {
  Layout layout;
  std::uint64_t next = 0;
  for (Placed& p : all) {
    if (p.entry.type != EntryType::Stream || p.entry.size == 0) continue;
    if (p.entry.size >= kMiniStreamCutoff) {
      p.entry.start = static_cast<std::uint32_t>(next);
      next += SectorsFor(p.entry.size, kSectorSize);
    } else {
      p.entry.start = static_cast<std::uint32_t>(layout.miniSectors);
      layout.miniSectors += SectorsFor(p.entry.size, kMiniSectorSize);
    }
  }
  layout.containerStart = next;
  layout.containerSectors = SectorsFor(layout.miniSectors * kMiniSectorSize, kSectorSize);
  layout.miniFatStart = layout.containerStart + layout.containerSectors;
  layout.miniFatSectors = SectorsFor(layout.miniSectors, kEntriesPerSector);
  layout.dirStart = layout.miniFatStart + layout.miniFatSectors;
  layout.dirSectors = SectorsFor(all.size(), kSectorSize / kDirEntrySize);
  layout.fatStart = layout.dirStart + layout.dirSectors;
  // The FAT covers itself and the DIFAT sectors that list it.
  const std::uint64_t data = layout.fatStart;
  for (;;) {
    const std::uint64_t difat = layout.fatSectors <= kHeaderDifatEntries
                                    ? 0
                                    : SectorsFor(layout.fatSectors - kHeaderDifatEntries, kEntriesPerSector - 1);
    const std::uint64_t fat = SectorsFor(data + layout.fatSectors + difat, kEntriesPerSector);
    if (fat <= layout.fatSectors) {
      layout.difatSectors = difat;
      break;
    }
    layout.fatSectors = fat;
  }
  layout.difatStart = layout.fatStart + layout.fatSectors;
  layout.total = layout.difatStart + layout.difatSectors;
  all[0].entry.start = layout.miniSectors > 0 ? static_cast<std::uint32_t>(layout.containerStart) : kEndOfChain;
  all[0].entry.size = layout.miniSectors * kMiniSectorSize;
  return layout;
}

void Chain(std::vector<std::uint32_t>& table, std::uint64_t start, std::uint64_t count) {
  for (std::uint64_t i = 0; i < count; ++i)
    table[start + i] = i + 1 == count ? kEndOfChain : static_cast<std::uint32_t>(start + i + 1);
}

std::vector<std::uint32_t> BuildFat(const std::vector<Placed>& all, const Layout& layout) {
  std::vector<std::uint32_t> fat(layout.fatSectors * kEntriesPerSector, kFreeSector);
  for (const Placed& p : all) {
    if (p.entry.type == EntryType::Stream && p.entry.size >= kMiniStreamCutoff)
      Chain(fat, p.entry.start, SectorsFor(p.entry.size, kSectorSize));
  }
  Chain(fat, layout.containerStart, layout.containerSectors);
  Chain(fat, layout.miniFatStart, layout.miniFatSectors);
  Chain(fat, layout.dirStart, layout.dirSectors);
  std::fill_n(fat.begin() + static_cast<std::ptrdiff_t>(layout.fatStart), layout.fatSectors, kFatSector);
  std::fill_n(fat.begin() + static_cast<std::ptrdiff_t>(layout.difatStart), layout.difatSectors, kDifatSector);
  return fat;
}

bool AppendTable(OutputFile& out, const std::vector<std::uint32_t>& table) {
  std::array<std::uint8_t, kSectorSize> sector{};
  for (std::size_t i = 0; i < table.size(); i += kEntriesPerSector) {
    for (std::size_t j = 0; j < kEntriesPerSector; ++j)
      StoreU32(sector.data() + 4 * j, i + j < table.size() ? table[i + j] : kFreeSector);
    if (!out.Append(sector.data(), sector.size())) return false;
  }
  return true;
}

bool AppendPadding(OutputFile& out, std::uint64_t unit) {
  const std::uint64_t rest = out.position() % unit;
  return rest == 0 || out.AppendZeros(unit - rest);
}

Header MakeHeader(const Layout& layout) {
  Header header;
  header.numFatSectors = static_cast<std::uint32_t>(layout.fatSectors);
  header.firstDirSector = static_cast<std::uint32_t>(layout.dirStart);
  header.firstMiniFatSector = layout.miniFatSectors ? static_cast<std::uint32_t>(layout.miniFatStart) : kEndOfChain;
  header.numMiniFatSectors = static_cast<std::uint32_t>(layout.miniFatSectors);
  header.firstDifatSector = layout.difatSectors ? static_cast<std::uint32_t>(layout.difatStart) : kEndOfChain;
  header.numDifatSectors = static_cast<std::uint32_t>(layout.difatSectors);
  header.difat.fill(kFreeSector);
  for (std::uint64_t i = 0; i < std::min<std::uint64_t>(layout.fatSectors, kHeaderDifatEntries); ++i)
    header.difat[i] = static_cast<std::uint32_t>(layout.fatStart + i);
  return header;
}

bool AppendDifat(OutputFile& out, const Layout& layout) {
  std::vector<std::uint32_t> entries;
  std::uint64_t fatIndex = kHeaderDifatEntries;
  for (std::uint64_t s = 0; s < layout.difatSectors; ++s) {
    for (std::uint32_t j = 0; j + 1 < kEntriesPerSector; ++j, ++fatIndex)
      entries.push_back(fatIndex < layout.fatSectors ? static_cast<std::uint32_t>(layout.fatStart + fatIndex)
                                                     : kFreeSector);
    entries.push_back(s + 1 < layout.difatSectors ? static_cast<std::uint32_t>(layout.difatStart + s + 1)
                                                  : kEndOfChain);
  }
  return AppendTable(out, entries);
}

}  // namespace

OutputFile::OutputFile(int fd) : m_fd(fd), m_buffer(kBufferSize) {}

bool OutputFile::Append(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    if (m_used == m_buffer.size() && !Flush()) return false;
    const std::size_t chunk = std::min(size, m_buffer.size() - m_used);
    std::memcpy(m_buffer.data() + m_used, bytes, chunk);
    m_used += chunk;
    bytes += chunk;
    size -= chunk;
  }
  return true;
}

bool OutputFile::AppendZeros(std::uint64_t size) {
  static constexpr std::array<char, 4096> kZeros{};
  while (size > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size, kZeros.size()));
    if (!Append(kZeros.data(), chunk)) return false;
    size -= chunk;
  }
  return true;
}

bool OutputFile::CopyFrom(int fd, std::uint64_t offset, std::uint64_t length) {
  // Small pieces through the buffer; large ones in the kernel, falling back
  // to reading through the buffer where the file systems cannot.
  if (length >= kBufferSize / 4 && Flush()) {
    auto from = static_cast<loff_t>(offset);
    while (length > 0) {
      const ssize_t n = ::copy_file_range(fd, &from, m_fd, nullptr, length, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      length -= static_cast<std::uint64_t>(n);
      m_written += static_cast<std::uint64_t>(n);
    }
    offset = static_cast<std::uint64_t>(from);
  }
  while (length > 0) {
    if (m_used == m_buffer.size() && !Flush()) return false;
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, m_buffer.size() - m_used));
    const ssize_t n = ::pread(fd, m_buffer.data() + m_used, chunk, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    m_used += static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
    length -= static_cast<std::uint64_t>(n);
  }
  return true;
}

bool OutputFile::Flush() {
  std::size_t done = 0;
  while (done < m_used) {
    const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_used - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  m_written += m_used;
  m_used = 0;
  return true;
}

HRESULT WriteCompoundFile(Node& root, OutputFile& out, const CopyStreamFn& copy,
                          std::vector<std::pair<Node*, std::uint64_t>>& placed) {
  std::vector<Placed> all = NumberElements(root);
  const Layout layout = PlanLayout(all);
  if (layout.total >= kMaxRegularSector) return STG_E_MEDIUMFULL;
  const auto fail = [] { return errno == ENOSPC || errno == EFBIG ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT; };

  std::array<std::uint8_t, kHeaderSize> header{};
  SerializeHeader(MakeHeader(layout), header);
  if (!out.Append(header.data(), header.size())) return fail();

  const auto copyStreams = [&](bool miniOnes, std::uint64_t unit) -> HRESULT {
    for (Placed& p : all) {
      if (p.entry.type != EntryType::Stream || p.entry.size == 0 || (p.entry.size < kMiniStreamCutoff) != miniOnes)
        continue;
      placed.emplace_back(p.node, out.position());
      if (const HRESULT hr = copy(*p.node, out); FAILED(hr)) return hr;
      if (!AppendPadding(out, unit)) return fail();
    }
    return S_OK;
  };
  if (const HRESULT hr = copyStreams(false, kSectorSize); FAILED(hr)) return hr;
  if (const HRESULT hr = copyStreams(true, kMiniSectorSize); FAILED(hr)) return hr;
  if (!AppendPadding(out, kSectorSize)) return fail();

  std::vector<std::uint32_t> miniFat(layout.miniFatSectors * kEntriesPerSector, kFreeSector);
  for (const Placed& p : all) {
    if (p.entry.type == EntryType::Stream && p.entry.size > 0 && p.entry.size < kMiniStreamCutoff)
      Chain(miniFat, p.entry.start, SectorsFor(p.entry.size, kMiniSectorSize));
  }
  if (!AppendTable(out, miniFat)) return fail();

  std::array<std::uint8_t, kDirEntrySize> entry{};
  for (const Placed& p : all) {
    SerializeDirEntry(p.entry, entry);
    if (!out.Append(entry.data(), entry.size())) return fail();
  }
  DirEntry unused;
  unused.type = EntryType::Unused;
  unused.color = Color::Red;
  unused.start = 0;
  SerializeDirEntry(unused, entry);
  for (std::size_t i = all.size(); i < layout.dirSectors * (kSectorSize / kDirEntrySize); ++i)
    if (!out.Append(entry.data(), entry.size())) return fail();

  if (!AppendTable(out, BuildFat(all, layout)) || !AppendDifat(out, layout) || !out.Flush()) return fail();
  return S_OK;
}

}  // namespace zplatform::cfb
