// The objects of the contacts object model, each made with one reference
// for the caller.
#pragma once

#include "FolderTree.h"

#include <addressbook/Card.h>
#include <zplatform/Com.h>
#include <zproviders/OutlookApi.h>

#include <string>
#include <vector>

namespace contacts {

// The default contacts folder is missing or cannot be read.
inline constexpr HRESULT MAPI_E_NOT_FOUND = static_cast<HRESULT>(0x8004010Fu);
// A folder that was listed can no longer be read.
inline constexpr HRESULT MAPI_E_NO_ACCESS = static_cast<HRESULT>(0x80070005u);

zplatform::ComPtr<_Application> NewApplication();
zplatform::ComPtr<_NameSpace> NewNameSpace();
zplatform::ComPtr<MAPIFolder> NewFolder(FolderPlace place);
zplatform::ComPtr<_Folders> NewFolders(std::vector<FolderPlace> subfolders);
zplatform::ComPtr<_Items> NewItems(std::string folderPath, std::vector<std::string> fileNames);
// A card as an item: a _ContactItem, unless the card is a group.
zplatform::ComPtr<IDispatch> NewItem(addressbook::Card card);

// Text for a BSTR out parameter; empty text gives the null BSTR.
HRESULT ReturnText(const std::string& text, BSTR* out);

}  // namespace contacts
