// The COM objects of an open compound file: CompoundStorage (IStorage) and
// CompoundStream (IStream). Each holds the document and the element it
// stands for; an element is open in at most one object at a time.
#pragma once

#include "CompoundDocument.h"

#include <zplatform/ComObject.h>
#include <zplatform/Storage.h>

#include <memory>
#include <string_view>

namespace zplatform::cfb {

// The element name pointed to, read no further than one character past the
// longest name allowed: STG_E_INVALIDPOINTER for null, STG_E_INVALIDNAME for
// a name that cannot be an element's.
[[nodiscard]] HRESULT TakeName(const OLECHAR* text, std::u16string_view& name);

// Fills a STATSTG (the name copied with CoTaskMemAlloc unless NONAME).
[[nodiscard]] HRESULT FillStat(const Node& node, std::u16string_view name, DWORD mode, DWORD flag, STATSTG* out);

// Now as a FILETIME count.
std::uint64_t FileTimeNow();

class CompoundStream final : public ComObject<IStream, IID_IStream> {
public:
  // Takes the element as open.
  static IStream* Make(std::shared_ptr<Document> doc, NodePtr node, DWORD mode);

  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
  HRESULT SetSize(ULARGE_INTEGER libNewSize) override;
  HRESULT Commit(DWORD grfCommitFlags) override;
  HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;

private:
  CompoundStream(std::shared_ptr<Document> doc, NodePtr node, DWORD mode);
  ~CompoundStream() override;
  // S_OK when the stream is still there and the mode allows the access.
  HRESULT Usable(bool write) const;

  std::shared_ptr<Document> m_doc;
  NodePtr m_node;
  DWORD m_mode;
  std::uint64_t m_position = 0;
};

class CompoundStorage final : public ComObject<IStorage, IID_IStorage> {
public:
  // node null: the root storage, whose release closes the document.
  static IStorage* Make(std::shared_ptr<Document> doc, NodePtr node, DWORD mode);

  HRESULT CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                       IStream** ppstm) override;
  HRESULT OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2,
                     IStream** ppstm) override;
  HRESULT CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                        IStorage** ppstg) override;
  HRESULT OpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                      DWORD reserved, IStorage** ppstg) override;
  HRESULT Commit(DWORD grfCommitFlags) override;
  HRESULT Revert() override;
  HRESULT DestroyElement(const OLECHAR* pwcsName) override;
  HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;

private:
  CompoundStorage(std::shared_ptr<Document> doc, NodePtr node, DWORD mode);
  ~CompoundStorage() override;
  Node& node() const { return m_node ? *m_node : *m_doc->root(); }
  HRESULT Usable(bool write) const;
  // Checks what creating or opening a child with childMode needs.
  HRESULT ChildAllowed(DWORD childMode) const;
  // Makes room for a new element of that name: STG_E_FILEALREADYEXISTS
  // unless STGM_CREATE, which removes the old one (if not open).
  HRESULT Replace(std::u16string_view name, DWORD childMode);
  // A new child element of that name and type, after the checks creating
  // one with childMode needs.
  HRESULT AddChild(const OLECHAR* name, DWORD childMode, EntryType type, NodePtr& child);
  // The existing child element of that name and type, not open, after the
  // checks opening one with childMode needs.
  HRESULT FindChild(const OLECHAR* name, DWORD childMode, EntryType type, NodePtr& child);

  std::shared_ptr<Document> m_doc;
  NodePtr m_node;
  DWORD m_mode;
};

}  // namespace zplatform::cfb
