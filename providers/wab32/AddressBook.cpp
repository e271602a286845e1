#include "AddressBook.h"

#include "BlockAllocator.h"
#include "ContentsTable.h"
#include "EntryId.h"

#include <span>

namespace wab32 {

namespace {

class Container final : public ComObject<IABContainer> {
public:
  explicit Container(std::shared_ptr<const Book> book) : m_book(std::move(book)) {}

  HRESULT GetContentsTable(ULONG /*ulFlags*/, IMAPITable** lppTable) override {
    if (!lppTable) return MAPI_E_INVALID_PARAMETER;
    *lppTable = nullptr;
    return Guarded([&] {
      *lppTable = new ContentsTable(m_book);
      return S_OK;
    });
  }

private:
  std::shared_ptr<const Book> m_book;
};

}  // namespace

AddressBook::AddressBook(std::shared_ptr<const Book> book) : m_book(std::move(book)) {}

HRESULT AddressBook::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, const IID* lpInterface, ULONG /*ulFlags*/,
                               ULONG* lpulObjType, IUnknown** lppUnk) {
  if (!lpulObjType || !lppUnk) return MAPI_E_INVALID_PARAMETER;
  *lppUnk = nullptr;
  if (!IsContainerEntryId(cbEntryID, lpEntryID)) return MAPI_E_UNKNOWN_ENTRYID;
  if (lpInterface && !IsEqualIID(*lpInterface, IID_IUnknown)) return E_NOINTERFACE;
  return Guarded([&] {
    *lppUnk = new Container(m_book);
    *lpulObjType = MAPI_ABCONT;
    return S_OK;
  });
}

HRESULT AddressBook::GetPAB(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) {
  if (!lpcbEntryID || !lppEntryID) return MAPI_E_INVALID_PARAMETER;
  *lppEntryID = nullptr;
  void* block = nullptr;
  if (HRESULT hr = AllocateBlock(static_cast<ULONG>(kEntryIdSize), &block); FAILED(hr)) return hr;
  WriteEntryId(std::span<BYTE, kEntryIdSize>(static_cast<BYTE*>(block), kEntryIdSize), MAPI_ABCONT, 0);
  *lpcbEntryID = static_cast<ULONG>(kEntryIdSize);
  *lppEntryID = static_cast<LPENTRYID>(block);
  return S_OK;
}

HRESULT WabObject::AllocateBuffer(ULONG cbSize, void** lppBuffer) { return AllocateBlock(cbSize, lppBuffer); }

HRESULT WabObject::AllocateMore(ULONG cbSize, void* lpObject, void** lppBuffer) {
  return AllocateLinkedBlock(cbSize, lpObject, lppBuffer);
}

ULONG WabObject::FreeBuffer(void* lpBuffer) {
  FreeBlock(lpBuffer);
  return 0;
}

}  // namespace wab32
