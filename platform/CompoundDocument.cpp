// One open compound file: locks, stream data, commit by rewrite and rename.
#include "CompoundDocument.h"

#include "CompoundFileReader.h"
#include "CompoundFileWriter.h"

#include <zplatform/FdIo.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zplatform::cfb {
namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The flock that stands for an STGM mode (see zplatform/Storage.h).
int LockFor(DWORD mode) {
  const DWORD access = mode & 3;
  const DWORD share = mode & 0x70;
  if (access != STGM_READ || share == STGM_SHARE_EXCLUSIVE || share == STGM_SHARE_DENY_READ) return LOCK_EX;
  if (share == STGM_SHARE_DENY_WRITE) return LOCK_SH;
  return 0;
}

HRESULT OpenError() {
  switch (errno) {
    case ENOENT: return STG_E_FILENOTFOUND;
    case ENOTDIR: return STG_E_PATHNOTFOUND;
    case EACCES:
    case EPERM:
    case EROFS: return STG_E_ACCESSDENIED;
    case EMFILE:
    case ENFILE: return STG_E_TOOMANYOPENFILES;
    case EEXIST: return STG_E_FILEALREADYEXISTS;
    default: return STG_E_INVALIDNAME;
  }
}

HRESULT TakeLock(int fd, int operation) {
  if (operation == 0) return S_OK;
  while (::flock(fd, operation | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? STG_E_SHAREVIOLATION : STG_E_LOCKVIOLATION;
  }
  return S_OK;
}

void SyncFolder(const std::string& path) {
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  ::fsync(folder);
  ::close(folder);
}

HRESULT ReadExtents(int fd, const std::vector<Extent>& extents, std::uint64_t offset, char* out, std::size_t size) {
  for (const Extent& e : extents) {
    if (size == 0) break;
    if (offset >= e.length) {
      offset -= e.length;
      continue;
    }
    std::uint64_t at = e.offset + offset;
    std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(e.length - offset, size));
    offset = 0;
    const ssize_t got = PreadFully(fd, out, chunk, at);
    if (got < 0) return STG_E_READFAULT;
    std::fill_n(out + got, chunk - static_cast<std::size_t>(got), '\0');  // a last sector cut short reads as zeros
    out += chunk;
    size -= chunk;
  }
  return S_OK;
}

}  // namespace

Document::Document(std::string path, DWORD mode)
    : m_path(std::move(path)),
      m_mode(mode),
      m_writable((mode & 3) != STGM_READ),
      m_transacted((mode & STGM_TRANSACTED) != 0),
      m_scratch(FolderOf(m_path)) {}

Document::~Document() = default;

HRESULT Document::Open(const std::string& path, DWORD mode, std::shared_ptr<Document>& out) {
  std::shared_ptr<Document> doc(new Document(path, mode));
  doc->m_base = UniqueFd(::open(path.c_str(), (doc->m_writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!doc->m_base) return OpenError();
  struct stat st {};
  if (::fstat(doc->m_base.get(), &st) != 0 || !S_ISREG(st.st_mode)) return STG_E_FILEALREADYEXISTS;
  doc->m_lock = LockFor(mode);
  if (const HRESULT hr = TakeLock(doc->m_base.get(), doc->m_lock); FAILED(hr)) return hr;
  if (const HRESULT hr = doc->LoadBase(); FAILED(hr)) return hr;
  out = std::move(doc);
  return S_OK;
}

HRESULT Document::Create(const std::string& path, DWORD mode, std::shared_ptr<Document>& out) {
  std::shared_ptr<Document> doc(new Document(path, mode));
  if (!doc->m_writable) return STG_E_INVALIDFLAG;
  constexpr int kFlags = O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  doc->m_base = UniqueFd(::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666));
  const bool existed = !doc->m_base && errno == EEXIST && (mode & STGM_CREATE);
  if (existed) doc->m_base = UniqueFd(::open(path.c_str(), kFlags));
  if (!doc->m_base) return OpenError();
  struct stat st {};
  if (::fstat(doc->m_base.get(), &st) != 0 || !S_ISREG(st.st_mode)) return STG_E_ACCESSDENIED;
  doc->m_lock = LockFor(mode);
  if (const HRESULT hr = TakeLock(doc->m_base.get(), doc->m_lock); FAILED(hr)) return hr;
  doc->m_root = std::make_shared<Node>();
  doc->m_root->type = EntryType::Root;
  doc->m_root->name = u"Root Entry";
  if (existed) {
    // The old file stays whole until the first commit replaces it.
    doc->m_modified = true;
  } else {
    // A file of our own making, with nothing in it to keep safe: the empty
    // compound file goes straight in.
    std::vector<std::pair<Node*, std::uint64_t>> placed;
    if (const HRESULT hr = doc->WriteNewFile(doc->m_base.get(), placed); FAILED(hr)) {
      ::unlink(path.c_str());
      return hr;
    }
  }
  out = std::move(doc);
  return S_OK;
}

HRESULT Document::LoadBase() {
  m_layout = BaseLayout{};
  NodePtr root;
  const HRESULT hr = ReadCompoundFile(m_base.get(), m_layout, root);
  if (FAILED(hr)) return hr;
  m_root = std::move(root);
  return S_OK;
}

HRESULT Document::Resolve(Node& node) { return ResolveStream(m_layout, node); }

HRESULT Document::MakeScratch(Node& node) {
  if (node.data == Node::Data::Scratch) return S_OK;
  if (const HRESULT hr = Resolve(node); FAILED(hr)) return hr;
  PageList pages;
  if (const HRESULT hr = m_scratch.Grow(pages, 0, node.size, false); FAILED(hr)) return hr;
  std::vector<char> buffer(std::min<std::uint64_t>(node.size, 1 << 20));
  for (std::uint64_t at = 0; at < node.size;) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), node.size - at));
    HRESULT hr = ReadExtents(m_base.get(), node.extents, at, buffer.data(), chunk);
    if (SUCCEEDED(hr)) hr = m_scratch.Write(pages, at, buffer.data(), chunk);
    if (FAILED(hr)) {
      m_scratch.Release(pages);
      return hr;
    }
    at += chunk;
  }
  node.pages = std::move(pages);
  node.extents.clear();
  node.data = Node::Data::Scratch;
  return S_OK;
}

HRESULT Document::ReadStream(Node& node, std::uint64_t offset, void* data, std::size_t size, std::size_t& got) {
  got = 0;
  if (offset >= node.size) return S_OK;
  size = static_cast<std::size_t>(std::min<std::uint64_t>(size, node.size - offset));
  if (const HRESULT hr = Resolve(node); FAILED(hr)) return hr;
  const HRESULT hr = node.data == Node::Data::Scratch
                         ? m_scratch.Read(node.pages, offset, data, size)
                         : ReadExtents(m_base.get(), node.extents, offset, static_cast<char*>(data), size);
  if (SUCCEEDED(hr)) got = size;
  return hr;
}

HRESULT Document::WriteStream(Node& node, std::uint64_t offset, const void* data, std::size_t size) {
  if (size == 0) return S_OK;
  if (offset + size < offset) return STG_E_INVALIDFUNCTION;
  if (const HRESULT hr = MakeScratch(node); FAILED(hr)) return hr;
  m_modified = true;
  if (offset > node.size) {
    if (const HRESULT hr = m_scratch.Grow(node.pages, node.size, offset, true); FAILED(hr)) return hr;
    node.size = offset;
  }
  if (offset + size > node.size) {
    if (const HRESULT hr = m_scratch.Grow(node.pages, node.size, offset + size, false); FAILED(hr)) return hr;
  }
  if (const HRESULT hr = m_scratch.Write(node.pages, offset, data, size); FAILED(hr)) return hr;
  node.size = std::max(node.size, offset + size);
  return S_OK;
}

HRESULT Document::SetStreamSize(Node& node, std::uint64_t size) {
  if (size == node.size) return S_OK;
  if (const HRESULT hr = MakeScratch(node); FAILED(hr)) return hr;
  m_modified = true;
  if (size < node.size) {
    m_scratch.Shrink(node.pages, size);
  } else if (const HRESULT hr = m_scratch.Grow(node.pages, node.size, size, true); FAILED(hr)) {
    return hr;
  }
  node.size = size;
  return S_OK;
}

void Document::ForgetData(Node& node) {
  std::vector<Node*> pending{&node};
  while (!pending.empty()) {
    Node* n = pending.back();
    pending.pop_back();
    n->data = Node::Data::Base;
    n->extents.clear();
    n->pages.clear();
    for (auto& [name, child] : n->children) pending.push_back(child.get());
  }
}

void Document::Discard(Node& node) {
  std::vector<Node*> pending{&node};
  while (!pending.empty()) {
    Node* n = pending.back();
    pending.pop_back();
    n->gone = true;
    m_scratch.Release(n->pages);
    for (auto& [name, child] : n->children) pending.push_back(child.get());
  }
}

HRESULT Document::CopyStream(Node& node, OutputFile& out) {
  if (const HRESULT hr = Resolve(node); FAILED(hr)) return hr;
  if (node.data == Node::Data::Scratch) {
    bool ok = CompoundScratch::ForEachRun(node.pages, 0, node.size, [&](std::uint64_t offset, std::uint64_t length) {
      return out.CopyFrom(m_scratch.fd(), offset, length);
    });
    return ok ? S_OK : STG_E_WRITEFAULT;
  }
  for (const Extent& e : node.extents)
    if (!out.CopyFrom(m_base.get(), e.offset, e.length)) return STG_E_WRITEFAULT;
  return S_OK;
}

HRESULT Document::WriteNewFile(int fd, std::vector<std::pair<Node*, std::uint64_t>>& placed) {
  OutputFile out(fd);
  return WriteCompoundFile(*m_root, out, [this](Node& node, OutputFile& o) { return CopyStream(node, o); }, placed);
}

HRESULT Document::Commit() {
  if (m_closed) return STG_E_REVERTED;
  if (!m_writable) return STG_E_ACCESSDENIED;
  if (!m_modified) return S_OK;
  struct stat st {};
  const mode_t fileMode = ::fstat(m_base.get(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  std::string temp = m_path + ".XXXXXX";
  UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return errno == ENOSPC ? STG_E_MEDIUMFULL : STG_E_ACCESSDENIED;
  std::vector<std::pair<Node*, std::uint64_t>> placed;
  HRESULT hr = TakeLock(fd.get(), m_lock);
  if (SUCCEEDED(hr)) hr = WriteNewFile(fd.get(), placed);
  if (SUCCEEDED(hr) && (::fchmod(fd.get(), fileMode) != 0 || ::fsync(fd.get()) != 0))
    hr = errno == ENOSPC ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
  if (SUCCEEDED(hr) && ::rename(temp.c_str(), m_path.c_str()) != 0) hr = STG_E_WRITEFAULT;
  if (FAILED(hr)) {
    ::unlink(temp.c_str());
    return hr;
  }
  SyncFolder(m_path);
  // The new file is the base now: every stream's bytes lie in one run of it.
  m_base = std::move(fd);
  ForgetData(*m_root);
  for (auto& [node, offset] : placed) {
    node->extents.assign(1, Extent{offset, node->size});
    node->pages.clear();
    node->data = Node::Data::Base;
  }
  m_scratch.Clear();
  m_layout = BaseLayout{};
  m_modified = false;
  return S_OK;
}

HRESULT Document::Revert() {
  if (m_closed) return STG_E_REVERTED;
  if (!m_transacted) return S_OK;
  NodePtr old = m_root;
  if (const HRESULT hr = LoadBase(); FAILED(hr)) return hr;
  Discard(*old);
  m_scratch.Clear();
  m_modified = false;
  return S_OK;
}

void Document::Close() {
  if (m_closed) return;
  if (m_writable && !m_transacted) (void)Commit();
  Discard(*m_root);
  m_closed = true;
  m_base = UniqueFd();
}

}  // namespace zplatform::cfb
