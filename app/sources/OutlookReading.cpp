#include "OutlookReading.h"

#include "ComCheck.h"

#include <zplatform/Com.h>

#include <initializer_list>

using zplatform::Bstr;
using zplatform::ComPtr;

namespace tarvo::outlook {
namespace {

// In-process, in-process handler or local server, whichever the class offers.
constexpr DWORD kAnyServer = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

using Getter = HRESULT (_ContactItem::*)(BSTR*);

std::string Read(_ContactItem& item, Getter getter) {
  Bstr value;
  ComCheck((item.*getter)(value.Put()), IID__ContactItem);
  return value.Utf8();
}

// The first non-empty property of the chain; the later ones are not read.
std::string FirstNonEmpty(_ContactItem& item, std::initializer_list<Getter> chain) {
  for (Getter getter : chain) {
    if (std::string value = Read(item, getter); !value.empty()) return value;
  }
  return {};
}

// The item as a contact, or null for an item that is no contact.
ComPtr<_ContactItem> AsContact(IDispatch& item) {
  ComPtr<_ContactItem> contact;
  const HRESULT hr = item.QueryInterface(IID__ContactItem, contact.PutVoid());
  if (hr == E_NOINTERFACE) return {};
  ComCheck(hr, contact, IID__ContactItem);
  return contact;
}

}  // namespace

bool ReadContact(_ContactItem& item, ContactEntry& entry) {
  entry.address = Read(item, &_ContactItem::get_Email1Address);
  if (entry.address.empty()) return false;
  entry.name = FirstNonEmpty(item, {&_ContactItem::get_FirstName, &_ContactItem::get_FullName,
                                    &_ContactItem::get_LastNameAndFirstName, &_ContactItem::get_LastName});
  entry.label = FirstNonEmpty(item, {&_ContactItem::get_FullName, &_ContactItem::get_LastNameAndFirstName,
                                     &_ContactItem::get_LastName, &_ContactItem::get_FirstName});
  return true;
}

bool ReadDefaultContactsFolder(const std::function<void(MAPIFolder&)>& load) {
  ComPtr<IUnknown> unknown;
  ComPtr<_Application> application;
  if (FAILED(CoCreateInstance(CLSID_OutlookApplication, nullptr, kAnyServer, IID_IUnknown, unknown.PutVoid())) ||
      !unknown || FAILED(OleRun(unknown.Get())) ||
      FAILED(unknown->QueryInterface(IID__Application, application.PutVoid())) || !application)
    return false;
  try {
    ComPtr<_NameSpace> nameSpace;
    const Bstr mapi("MAPI");
    ComCheck(application->GetNamespace(mapi.Get(), nameSpace.Put()), nameSpace, IID__Application);
    ComPtr<MAPIFolder> folder;
    ComCheck(nameSpace->GetDefaultFolder(olFolderContacts, folder.Put()), IID__NameSpace);
    if (!folder) return false;  // no contacts folder: an empty tree
    load(*folder.Get());
    return true;
  } catch (const _com_error&) {
    return false;  // never shown: the tree keeps what was loaded
  }
}

std::string FolderName(MAPIFolder& folder) {
  Bstr name;
  ComCheck(folder.get_Name(name.Put()), IID_MAPIFolder);
  return name.Utf8();
}

void ForEachSubfolder(MAPIFolder& folder, const std::function<void(MAPIFolder&)>& visit) {
  ComPtr<_Folders> folders;
  ComCheck(folder.get_Folders(folders.Put()), folders, IID_MAPIFolder);
  ComPtr<MAPIFolder> child;
  for (ComCheck(folders->GetFirst(child.Put()), IID__Folders); child;
       ComCheck(folders->GetNext(child.Put()), IID__Folders))
    visit(*child.Get());
}

void ForEachContact(MAPIFolder& folder, const std::function<void(ContactEntry&&)>& visit) {
  ComPtr<_Items> items;
  ComCheck(folder.get_Items(items.Put()), items, IID_MAPIFolder);
  ComPtr<IDispatch> item;
  for (ComCheck(items->GetFirst(item.Put()), IID__Items); item; ComCheck(items->GetNext(item.Put()), IID__Items)) {
    const ComPtr<_ContactItem> contact = AsContact(*item.Get());
    if (ContactEntry entry; contact && ReadContact(*contact.Get(), entry)) visit(std::move(entry));
  }
}

}  // namespace tarvo::outlook
