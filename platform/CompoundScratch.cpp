// The scratch file of uncommitted stream data.
#include "CompoundScratch.h"

#include <zplatform/FdIo.h>
#include <zplatform/Storage.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include <fcntl.h>
#include <unistd.h>

namespace zplatform::cfb {
namespace {

int OpenUnlinked(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  // File systems without O_TMPFILE: a named file, unlinked at once.
  std::string pattern = folder + "/.zstg-scratch-XXXXXX";
  const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (named >= 0) ::unlink(pattern.c_str());
  return named;
}

HRESULT ErrnoResult() { return errno == ENOSPC || errno == EFBIG ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT; }

}  // namespace

bool CompoundScratch::EnsureOpen() {
  if (m_fd) return true;
  m_fd = UniqueFd(OpenUnlinked(m_folder));
  if (!m_fd) {
    const char* tmp = std::getenv("TMPDIR");
    m_fd = UniqueFd(OpenUnlinked(tmp && *tmp ? tmp : "/tmp"));
  }
  return m_fd.valid();
}

HRESULT CompoundScratch::Grow(PageList& pages, std::uint64_t oldSize, std::uint64_t newSize, bool zero) {
  if (newSize <= oldSize) return S_OK;
  if (!EnsureOpen()) return STG_E_WRITEFAULT;
  const std::uint64_t needed = (newSize + kPageSize - 1) / kPageSize;
  if (needed > std::numeric_limits<std::uint32_t>::max()) return STG_E_MEDIUMFULL;
  while (pages.size() < needed) {
    if (!m_free.empty()) {
      pages.push_back(m_free.back());
      m_free.pop_back();
    } else {
      if (m_pageCount == std::numeric_limits<std::uint32_t>::max()) return STG_E_MEDIUMFULL;
      pages.push_back(m_pageCount++);
    }
  }
  if (!zero) return S_OK;
  // Reused pages hold old bytes: the new range must read as zeros.
  static constexpr std::array<char, 65536> kZeros{};
  for (std::uint64_t at = oldSize; at < newSize;) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(kZeros.size(), newSize - at));
    if (const HRESULT hr = Write(pages, at, kZeros.data(), chunk); FAILED(hr)) return hr;
    at += chunk;
  }
  return S_OK;
}

void CompoundScratch::Shrink(PageList& pages, std::uint64_t newSize) {
  const std::uint64_t keep = (newSize + kPageSize - 1) / kPageSize;
  while (pages.size() > keep) {
    m_free.push_back(pages.back());
    pages.pop_back();
  }
}

HRESULT CompoundScratch::Write(const PageList& pages, std::uint64_t offset, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  const bool ok = ForEachRun(pages, offset, size, [&](std::uint64_t fileOffset, std::uint64_t length) {
    if (!PwriteFully(m_fd.get(), bytes, static_cast<std::size_t>(length), fileOffset)) return false;
    bytes += length;
    return true;
  });
  return ok ? S_OK : ErrnoResult();
}

HRESULT CompoundScratch::Read(const PageList& pages, std::uint64_t offset, void* data, std::size_t size) const {
  auto* bytes = static_cast<char*>(data);
  const bool ok = ForEachRun(pages, offset, size, [&](std::uint64_t fileOffset, std::uint64_t length) {
    if (PreadFully(m_fd.get(), bytes, static_cast<std::size_t>(length), fileOffset) != static_cast<ssize_t>(length))
      return false;
    bytes += length;
    return true;
  });
  return ok ? S_OK : STG_E_READFAULT;
}

void CompoundScratch::Clear() {
  m_free.clear();
  m_pageCount = 0;
  if (m_fd) (void)::ftruncate(m_fd.get(), 0);
}

}  // namespace zplatform::cfb
