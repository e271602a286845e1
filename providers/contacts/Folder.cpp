// A contacts folder and the collection of its subfolders. Each listing is
// read when asked for, so a folder object stays cheap until it is opened.
#include "ComObject.h"
#include "ContactsModel.h"

namespace contacts {

namespace {

class Folder final : public ComObject<MAPIFolder, IID_MAPIFolder> {
public:
  explicit Folder(FolderPlace place) : m_place(std::move(place)) {}

  HRESULT get_Folders(_Folders** ppFolders) override {
    if (!ppFolders) return E_POINTER;
    *ppFolders = nullptr;
    std::optional<std::vector<FolderPlace>> subfolders = ListSubfolders(m_place);
    if (!subfolders) return MAPI_E_NO_ACCESS;
    return HandOver(NewFolders(std::move(*subfolders)), ppFolders);
  }

  HRESULT get_Items(_Items** ppItems) override {
    if (!ppItems) return E_POINTER;
    *ppItems = nullptr;
    std::optional<std::vector<std::string>> files = ListCardFiles(m_place.path);
    if (!files) return MAPI_E_NO_ACCESS;
    return HandOver(NewItems(m_place.path, std::move(*files)), ppItems);
  }

  HRESULT get_Name(BSTR* pName) override { return ReturnText(FolderName(m_place.path), pName); }

private:
  FolderPlace m_place;
};

class Folders final : public ComObject<_Folders, IID__Folders> {
public:
  explicit Folders(std::vector<FolderPlace> subfolders) : m_subfolders(std::move(subfolders)) {}

  HRESULT GetFirst(MAPIFolder** ppFolder) override {
    m_next = 0;
    return GetNext(ppFolder);
  }

  HRESULT GetNext(MAPIFolder** ppFolder) override {
    if (!ppFolder) return E_POINTER;
    *ppFolder = nullptr;
    if (m_next >= m_subfolders.size()) return S_OK;
    return HandOver(NewFolder(m_subfolders[m_next++]), ppFolder);
  }

private:
  std::vector<FolderPlace> m_subfolders;
  std::size_t m_next = 0;
};

}  // namespace

zplatform::ComPtr<MAPIFolder> NewFolder(FolderPlace place) {
  return MakeObject<Folder, MAPIFolder>(std::move(place));
}

zplatform::ComPtr<_Folders> NewFolders(std::vector<FolderPlace> subfolders) {
  return MakeObject<Folders, _Folders>(std::move(subfolders));
}

}  // namespace contacts
