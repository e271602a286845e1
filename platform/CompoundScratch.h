// Where stream data written since the last commit waits: an unlinked file of
// 512-byte pages, each stream owning a list of pages, so that a stream of any
// size costs four bytes of memory per page rather than its bytes.
#pragma once

#include <zplatform/UniqueFd.h>
#include <zplatform/WinTypes.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zplatform::cfb {

using PageList = std::vector<std::uint32_t>;

class CompoundScratch {
public:
  static constexpr std::uint64_t kPageSize = 512;

  // folder: where the scratch file goes (the compound file's own folder, so
  // that the commit can copy within one file system); $TMPDIR or /tmp when
  // it cannot be made there.
  explicit CompoundScratch(std::string folder) : m_folder(std::move(folder)) {}

  // Grows a stream of oldSize bytes held in pages to newSize, with zero
  // bytes between when zero is set (otherwise the caller writes them).
  [[nodiscard]] HRESULT Grow(PageList& pages, std::uint64_t oldSize, std::uint64_t newSize, bool zero);
  // Gives back the pages past newSize.
  void Shrink(PageList& pages, std::uint64_t newSize);
  void Release(PageList& pages) { Shrink(pages, 0); }

  // Pages must already cover the range.
  [[nodiscard]] HRESULT Write(const PageList& pages, std::uint64_t offset, const void* data, std::size_t size);
  [[nodiscard]] HRESULT Read(const PageList& pages, std::uint64_t offset, void* data, std::size_t size) const;

  // Calls visit(fileOffset, length) for each run of adjacent pages holding
  // the range [offset, offset + size), in order.
  template <typename Visit>
  static bool ForEachRun(const PageList& pages, std::uint64_t offset, std::uint64_t size, Visit&& visit) {
    while (size > 0) {
      std::uint64_t index = offset / kPageSize;
      if (index >= pages.size()) return false;
      const std::uint64_t within = offset % kPageSize;
      std::uint64_t length = kPageSize - within;
      while (length < size && index + 1 < pages.size() && pages[index + 1] == pages[index] + 1) {
        ++index;
        length += kPageSize;
      }
      length = length < size ? length : size;
      const std::uint64_t first = offset / kPageSize;
      if (!visit(static_cast<std::uint64_t>(pages[first]) * kPageSize + within, length)) return false;
      offset += length;
      size -= length;
    }
    return true;
  }

  int fd() const { return m_fd.get(); }
  // Drops every page at once (after a commit, when no stream holds any).
  void Clear();

private:
  [[nodiscard]] bool EnsureOpen();

  std::string m_folder;
  UniqueFd m_fd;
  std::uint32_t m_pageCount = 0;   // pages handed out so far, free or not
  std::vector<std::uint32_t> m_free;  // given back, handed out again first
};

}  // namespace zplatform::cfb
