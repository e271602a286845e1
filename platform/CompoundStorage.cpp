// IStorage over a storage element (or the root) of an open compound file,
// and the two entry points that open and create compound files.
#include "CompoundObjects.h"

#include <QString>

#include <chrono>
#include <cstring>

namespace zplatform::cfb {
namespace {

constexpr DWORD kUnsupportedFlags = STGM_CONVERT | STGM_DELETEONRELEASE | STGM_PRIORITY;

bool ValidAccessAndShare(DWORD mode) {
  const DWORD share = mode & 0x70;
  return (mode & 3) != 3 && share <= STGM_SHARE_DENY_NONE;
}

HRESULT OutPointer(void* out) { return out ? S_OK : STG_E_INVALIDPOINTER; }

std::string PathOf(const OLECHAR* name) {
  return QString::fromUtf16(name).toStdString();
}

HRESULT CheckRootMode(DWORD mode) {
  if (!ValidAccessAndShare(mode) || (mode & kUnsupportedFlags)) return STG_E_INVALIDFLAG;
  return S_OK;
}

}  // namespace

HRESULT TakeName(const OLECHAR* text, std::u16string_view& name) {
  if (!text) return STG_E_INVALIDPOINTER;
  std::size_t length = 0;
  while (length <= kMaxNameChars && text[length] != 0) ++length;
  name = std::u16string_view(text, length);
  return IsValidElementName(name) ? S_OK : STG_E_INVALIDNAME;
}

std::uint64_t FileTimeNow() {
  // 100 ns steps between 1601-01-01 and 1970-01-01.
  constexpr std::uint64_t kEpochDelta = 116444736000000000ull;
  const auto since = std::chrono::system_clock::now().time_since_epoch();
  return kEpochDelta + static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100);
}

HRESULT FillStat(const Node& node, std::u16string_view name, DWORD mode, DWORD flag, STATSTG* out) {
  if (!out) return STG_E_INVALIDPOINTER;
  std::memset(out, 0, sizeof *out);
  if (flag != STATFLAG_NONAME) {
    out->pwcsName = static_cast<OLECHAR*>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
    if (!out->pwcsName) return STG_E_INSUFFICIENTMEMORY;
    std::memcpy(out->pwcsName, name.data(), name.size() * sizeof(OLECHAR));
    out->pwcsName[name.size()] = 0;
  }
  out->type = node.type == EntryType::Stream ? STGTY_STREAM : STGTY_STORAGE;
  out->cbSize.QuadPart = node.type == EntryType::Stream ? node.size : 0;
  out->mtime = {static_cast<DWORD>(node.mtime), static_cast<DWORD>(node.mtime >> 32)};
  out->ctime = {static_cast<DWORD>(node.ctime), static_cast<DWORD>(node.ctime >> 32)};
  out->grfMode = mode;
  out->clsid = node.clsid;
  out->grfStateBits = node.stateBits;
  return S_OK;
}

IStorage* CompoundStorage::Make(std::shared_ptr<Document> doc, NodePtr node, DWORD mode) {
  return new CompoundStorage(std::move(doc), std::move(node), mode);
}

CompoundStorage::CompoundStorage(std::shared_ptr<Document> doc, NodePtr node, DWORD mode)
    : m_doc(std::move(doc)), m_node(std::move(node)), m_mode(mode) {
  if (m_node) m_node->open = true;
}

CompoundStorage::~CompoundStorage() {
  if (m_node)
    m_node->open = false;
  else
    m_doc->Close();
}

HRESULT CompoundStorage::Usable(bool write) const {
  if (m_doc->closed() || (m_node && m_node->gone)) return STG_E_REVERTED;
  if (write && (m_mode & 3) == STGM_READ) return STG_E_ACCESSDENIED;
  return S_OK;
}

HRESULT CompoundStorage::ChildAllowed(DWORD childMode) const {
  if (!ValidAccessAndShare(childMode) || (childMode & 0x70) != STGM_SHARE_EXCLUSIVE ||
      (childMode & kUnsupportedFlags))
    return STG_E_INVALIDFLAG;
  return Usable((childMode & 3) != STGM_READ);
}

HRESULT CompoundStorage::Replace(std::u16string_view name, DWORD childMode) {
  auto found = node().children.find(name);
  if (found == node().children.end()) return S_OK;
  if (!(childMode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
  if (found->second->open) return STG_E_ACCESSDENIED;
  m_doc->Discard(*found->second);
  node().children.erase(found);
  m_doc->MarkModified();
  return S_OK;
}

HRESULT CompoundStorage::AddChild(const OLECHAR* name, DWORD childMode, EntryType type, NodePtr& child) {
  std::u16string_view checked;
  if (const HRESULT hr = TakeName(name, checked); FAILED(hr)) return hr;
  if (const HRESULT hr = ChildAllowed(childMode); FAILED(hr)) return hr;
  if (const HRESULT hr = Usable(true); FAILED(hr)) return hr;
  if (const HRESULT hr = Replace(checked, childMode); FAILED(hr)) return hr;
  child = std::make_shared<Node>();
  child->name = checked;
  child->type = type;
  if (type == EntryType::Storage) child->ctime = child->mtime = FileTimeNow();
  node().children.emplace(child->name, child);
  m_doc->MarkModified();
  return S_OK;
}

HRESULT CompoundStorage::FindChild(const OLECHAR* name, DWORD childMode, EntryType type, NodePtr& child) {
  std::u16string_view checked;
  if (const HRESULT hr = TakeName(name, checked); FAILED(hr)) return hr;
  if (childMode & STGM_CREATE) return STG_E_INVALIDFLAG;
  if (const HRESULT hr = ChildAllowed(childMode); FAILED(hr)) return hr;
  const auto found = node().children.find(checked);
  if (found == node().children.end() || found->second->type != type) return STG_E_FILENOTFOUND;
  if (found->second->open) return STG_E_ACCESSDENIED;
  child = found->second;
  return S_OK;
}

HRESULT CompoundStorage::CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                                      IStream** ppstm) {
  if (const HRESULT hr = OutPointer(ppstm); FAILED(hr)) return hr;
  *ppstm = nullptr;
  if (reserved1 || reserved2) return STG_E_INVALIDPARAMETER;
  NodePtr stream;
  if (const HRESULT hr = AddChild(pwcsName, grfMode, EntryType::Stream, stream); FAILED(hr)) return hr;
  *ppstm = CompoundStream::Make(m_doc, std::move(stream), grfMode);
  return S_OK;
}

HRESULT CompoundStorage::OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2,
                                    IStream** ppstm) {
  if (const HRESULT hr = OutPointer(ppstm); FAILED(hr)) return hr;
  *ppstm = nullptr;
  if (reserved1 || reserved2) return STG_E_INVALIDPARAMETER;
  NodePtr stream;
  if (const HRESULT hr = FindChild(pwcsName, grfMode, EntryType::Stream, stream); FAILED(hr)) return hr;
  if (const HRESULT hr = m_doc->Resolve(*stream); FAILED(hr)) return hr;
  *ppstm = CompoundStream::Make(m_doc, std::move(stream), grfMode);
  return S_OK;
}

HRESULT CompoundStorage::CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                                       IStorage** ppstg) {
  if (const HRESULT hr = OutPointer(ppstg); FAILED(hr)) return hr;
  *ppstg = nullptr;
  if (reserved1 || reserved2) return STG_E_INVALIDPARAMETER;
  NodePtr storage;
  if (const HRESULT hr = AddChild(pwcsName, grfMode, EntryType::Storage, storage); FAILED(hr)) return hr;
  *ppstg = Make(m_doc, std::move(storage), grfMode);
  return S_OK;
}

HRESULT CompoundStorage::OpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode,
                                     SNB snbExclude, DWORD reserved, IStorage** ppstg) {
  if (const HRESULT hr = OutPointer(ppstg); FAILED(hr)) return hr;
  *ppstg = nullptr;
  if (pstgPriority || snbExclude || reserved) return STG_E_INVALIDPARAMETER;
  NodePtr storage;
  if (const HRESULT hr = FindChild(pwcsName, grfMode, EntryType::Storage, storage); FAILED(hr)) return hr;
  *ppstg = Make(m_doc, std::move(storage), grfMode);
  return S_OK;
}

HRESULT CompoundStorage::Commit(DWORD) {
  if (const HRESULT hr = Usable(true); FAILED(hr)) return hr;
  return m_doc->Commit();
}

HRESULT CompoundStorage::Revert() {
  if (const HRESULT hr = Usable(false); FAILED(hr)) return hr;
  return m_doc->Revert();
}

HRESULT CompoundStorage::DestroyElement(const OLECHAR* pwcsName) {
  std::u16string_view name;
  if (const HRESULT hr = TakeName(pwcsName, name); FAILED(hr)) return hr;
  if (const HRESULT hr = Usable(true); FAILED(hr)) return hr;
  const auto found = node().children.find(name);
  if (found == node().children.end()) return STG_E_FILENOTFOUND;
  m_doc->Discard(*found->second);
  node().children.erase(found);
  m_doc->MarkModified();
  return S_OK;
}

HRESULT CompoundStorage::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
  if (const HRESULT hr = Usable(false); FAILED(hr)) return hr;
  // The root's name is the file's path.
  const std::u16string path = m_node ? std::u16string() : QString::fromStdString(m_doc->path()).toStdU16String();
  return FillStat(node(), m_node ? std::u16string_view(m_node->name) : std::u16string_view(path), m_mode,
                  grfStatFlag, pstatstg);
}

}  // namespace zplatform::cfb

using zplatform::cfb::CheckRootMode;
using zplatform::cfb::CompoundStorage;
using zplatform::cfb::Document;

HRESULT StgCreateDocfile(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (reserved) return STG_E_INVALIDPARAMETER;
  if (!pwcsName || !*pwcsName) return STG_E_INVALIDNAME;
  if (const HRESULT hr = CheckRootMode(grfMode); FAILED(hr)) return hr;
  std::shared_ptr<Document> doc;
  if (const HRESULT hr = Document::Create(zplatform::cfb::PathOf(pwcsName), grfMode, doc); FAILED(hr)) return hr;
  *ppstgOpen = CompoundStorage::Make(std::move(doc), nullptr, grfMode);
  return S_OK;
}

HRESULT StgOpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                       DWORD reserved, IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (pstgPriority || snbExclude || reserved) return STG_E_INVALIDPARAMETER;
  if (!pwcsName || !*pwcsName) return STG_E_INVALIDNAME;
  if (const HRESULT hr = CheckRootMode(grfMode); FAILED(hr)) return hr;
  if (grfMode & STGM_CREATE) return STG_E_INVALIDFLAG;
  std::shared_ptr<Document> doc;
  if (const HRESULT hr = Document::Open(zplatform::cfb::PathOf(pwcsName), grfMode, doc); FAILED(hr)) return hr;
  *ppstgOpen = CompoundStorage::Make(std::move(doc), nullptr, grfMode);
  return S_OK;
}
