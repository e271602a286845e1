// WABOpen: the provider's one entry point. Reads the book once and hands out
// the address book and the WAB object over it; every failure comes back as a
// negative result with both objects null, never as an exception.
#include "AddressBook.h"
#include "Book.h"
#include "ComObject.h"

#include <zplatform/Com.h>

#include <type_traits>
#include <utility>

// The book named by lpWP->szFileName, or the default one when lpWP or the
// name is null or empty. lpWP->cbSize is not checked: callers fill it from
// their own build's layout, and only szFileName is read.
extern "C" __attribute__((visibility("default"))) HRESULT WABOpen(IAddrBook** lppAdrBook,
                                                                   IWABObject** lppWABObject, WAB_PARAM* lpWP,
                                                                   DWORD /*Reserved2*/) {
  if (lppAdrBook) *lppAdrBook = nullptr;
  if (lppWABObject) *lppWABObject = nullptr;
  if (!lppAdrBook || !lppWABObject) return MAPI_E_INVALID_PARAMETER;
  return wab32::Guarded([&] {
    wab32::OpenedBook opened = wab32::OpenBook(lpWP ? lpWP->szFileName : nullptr);
    if (FAILED(opened.result)) return opened.result;
    zplatform::ComPtr<IAddrBook> book(new wab32::AddressBook(std::move(opened.book)));
    zplatform::ComPtr<IWABObject> wab(new wab32::WabObject());
    *lppAdrBook = book.Detach();
    *lppWABObject = wab.Detach();
    return S_OK;
  });
}

// The type the caller casts the looked-up symbol to.
static_assert(std::is_same_v<decltype(&WABOpen), LPWABOPEN>);
