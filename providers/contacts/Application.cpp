// The application object and its namespace: the way to the default contacts
// folder.
#include "ComObject.h"
#include "ContactsModel.h"

#include <addressbook/AddressBookFile.h>
#include <zplatform/AsciiText.h>

namespace contacts {

namespace {

class Application final : public ComObject<_Application, IID__Application> {
public:
  HRESULT GetNamespace(BSTR Type, _NameSpace** ppNamespace) override {
    if (!ppNamespace) return E_POINTER;
    *ppNamespace = nullptr;
    if (!zplatform::EqualsNoCase(zplatform::BstrToUtf8(Type), "MAPI")) return E_INVALIDARG;
    return HandOver(NewNameSpace(), ppNamespace);
  }
};

class NameSpace final : public ComObject<_NameSpace, IID__NameSpace> {
public:
  HRESULT GetDefaultFolder(long FolderType, MAPIFolder** ppFolder) override {
    if (!ppFolder) return E_POINTER;
    *ppFolder = nullptr;
    if (FolderType != olFolderContacts) return E_INVALIDARG;
    std::optional<FolderPlace> root = OpenRootFolder(addressbook::DefaultContactsFolder());
    if (!root) return MAPI_E_NOT_FOUND;
    return HandOver(NewFolder(std::move(*root)), ppFolder);
  }
};

}  // namespace

zplatform::ComPtr<_Application> NewApplication() { return MakeObject<Application, _Application>(); }
zplatform::ComPtr<_NameSpace> NewNameSpace() { return MakeObject<NameSpace, _NameSpace>(); }

HRESULT ReturnText(const std::string& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return S_OK;
  *out = zplatform::Utf8ToBstr(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace contacts
