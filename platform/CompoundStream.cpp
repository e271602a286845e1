// IStream over a stream element of an open compound file.
#include "CompoundObjects.h"

#include <limits>

namespace zplatform::cfb {
namespace {

// Version 3 files keep 32-bit stream sizes.
constexpr std::uint64_t kMaxStreamSize = std::numeric_limits<std::uint32_t>::max();

}  // namespace

IStream* CompoundStream::Make(std::shared_ptr<Document> doc, NodePtr node, DWORD mode) {
  return new CompoundStream(std::move(doc), std::move(node), mode);
}

CompoundStream::CompoundStream(std::shared_ptr<Document> doc, NodePtr node, DWORD mode)
    : m_doc(std::move(doc)), m_node(std::move(node)), m_mode(mode) {
  m_node->open = true;
}

CompoundStream::~CompoundStream() { m_node->open = false; }

HRESULT CompoundStream::Usable(bool write) const {
  if (m_doc->closed() || m_node->gone) return STG_E_REVERTED;
  const DWORD access = m_mode & 3;
  if (write ? access == STGM_READ : access == STGM_WRITE) return STG_E_ACCESSDENIED;
  return S_OK;
}

HRESULT CompoundStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead) *pcbRead = 0;
  if (!pv && cb > 0) return STG_E_INVALIDPOINTER;
  if (const HRESULT hr = Usable(false); FAILED(hr)) return hr;
  std::size_t got = 0;
  const HRESULT hr = m_doc->ReadStream(*m_node, m_position, pv, cb, got);
  m_position += got;
  if (pcbRead) *pcbRead = static_cast<ULONG>(got);
  return hr;
}

HRESULT CompoundStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten) *pcbWritten = 0;
  if (!pv && cb > 0) return STG_E_INVALIDPOINTER;
  if (const HRESULT hr = Usable(true); FAILED(hr)) return hr;
  if (m_position + cb > kMaxStreamSize) return STG_E_MEDIUMFULL;
  const HRESULT hr = m_doc->WriteStream(*m_node, m_position, pv, cb);
  if (FAILED(hr)) return hr;
  m_position += cb;
  if (pcbWritten) *pcbWritten = cb;
  return S_OK;
}

HRESULT CompoundStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) {
  if (m_doc->closed() || m_node->gone) return STG_E_REVERTED;
  std::int64_t base = 0;
  switch (dwOrigin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = static_cast<std::int64_t>(m_position); break;
    case STREAM_SEEK_END: base = static_cast<std::int64_t>(m_node->size); break;
    default: return STG_E_INVALIDFUNCTION;
  }
  std::int64_t target = 0;
  if (__builtin_add_overflow(base, dlibMove.QuadPart, &target) || target < 0) return STG_E_INVALIDFUNCTION;
  m_position = static_cast<std::uint64_t>(target);
  if (plibNewPosition) plibNewPosition->QuadPart = m_position;
  return S_OK;
}

HRESULT CompoundStream::SetSize(ULARGE_INTEGER libNewSize) {
  if (const HRESULT hr = Usable(true); FAILED(hr)) return hr;
  if (libNewSize.QuadPart > kMaxStreamSize) return STG_E_MEDIUMFULL;
  return m_doc->SetStreamSize(*m_node, libNewSize.QuadPart);
}

HRESULT CompoundStream::Commit(DWORD) {
  if (m_doc->closed() || m_node->gone) return STG_E_REVERTED;
  return m_doc->writable() ? m_doc->Commit() : S_OK;
}

HRESULT CompoundStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
  if (m_doc->closed() || m_node->gone) return STG_E_REVERTED;
  return FillStat(*m_node, m_node->name, m_mode, grfStatFlag, pstatstg);
}

}  // namespace zplatform::cfb
