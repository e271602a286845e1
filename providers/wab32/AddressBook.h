// The objects WABOpen hands out: the address book with its one container
// (the personal address book) and the WAB object with MAPI's allocator.
#pragma once

#include "Book.h"
#include "ComObject.h"

#include <memory>

namespace wab32 {

class AddressBook final : public ComObject<IAddrBook> {
public:
  explicit AddressBook(std::shared_ptr<const Book> book);

  // Only the personal address book's identifier opens, as its container
  // (object type MAPI_ABCONT), for no interface or IID_IUnknown. Another
  // identifier: MAPI_E_UNKNOWN_ENTRYID; another interface: E_NOINTERFACE.
  HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, const IID* lpInterface, ULONG ulFlags, ULONG* lpulObjType,
                    IUnknown** lppUnk) override;
  // The identifier is a block of the WAB object's allocator.
  HRESULT GetPAB(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) override;

private:
  std::shared_ptr<const Book> m_book;
};

class WabObject final : public ComObject<IWABObject> {
public:
  HRESULT AllocateBuffer(ULONG cbSize, void** lppBuffer) override;
  HRESULT AllocateMore(ULONG cbSize, void* lpObject, void** lppBuffer) override;
  ULONG FreeBuffer(void* lpBuffer) override;
};

}  // namespace wab32
