// The contacts object model: the application, its namespace, folders,
// collections and contact items, as dual interfaces called through their
// virtual tables. Every member returns an HRESULT (negative for a failure);
// out parameters receive a new reference or a new BSTR, which the caller
// releases or frees. GetFirst/GetNext give null (with S_OK) after the last
// element. libzcontacts.so implements it over folders of vCard files.
#pragma once

#include <zplatform/Com.h>

class _NameSpace;
class MAPIFolder;
class _Folders;
class _Items;

// The folder kind GetDefaultFolder is asked for by the pickers.
inline constexpr long olFolderContacts = 10;

inline constexpr CLSID CLSID_OutlookApplication = {0x0006F03A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID__Application = {0x00063001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID__NameSpace = {0x00063002, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_MAPIFolder = {0x00063006, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID__Folders = {0x00063040, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID__Items = {0x00063041, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID__ContactItem = {0x00063021, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class _Application : public IDispatch {
public:
  virtual HRESULT GetNamespace(BSTR Type, _NameSpace** ppNamespace) = 0;

protected:
  ~_Application() = default;
};

class _NameSpace : public IDispatch {
public:
  // MAPI_E_NOT_FOUND-like failures are negative; a missing folder may also
  // come back as null with S_OK.
  virtual HRESULT GetDefaultFolder(long FolderType, MAPIFolder** ppFolder) = 0;

protected:
  ~_NameSpace() = default;
};

class MAPIFolder : public IDispatch {
public:
  virtual HRESULT get_Folders(_Folders** ppFolders) = 0;
  virtual HRESULT get_Items(_Items** ppItems) = 0;
  virtual HRESULT get_Name(BSTR* pName) = 0;

protected:
  ~MAPIFolder() = default;
};

class _Folders : public IDispatch {
public:
  virtual HRESULT GetFirst(MAPIFolder** ppFolder) = 0;
  virtual HRESULT GetNext(MAPIFolder** ppFolder) = 0;

protected:
  ~_Folders() = default;
};

class _Items : public IDispatch {
public:
  virtual HRESULT GetFirst(IDispatch** ppItem) = 0;
  virtual HRESULT GetNext(IDispatch** ppItem) = 0;

protected:
  ~_Items() = default;
};

// Supported (through QueryInterface) by contact items; a group's item
// answers E_NOINTERFACE.
class _ContactItem : public IDispatch {
public:
  virtual HRESULT get_Email1Address(BSTR* pValue) = 0;
  virtual HRESULT get_FirstName(BSTR* pValue) = 0;
  virtual HRESULT get_FullName(BSTR* pValue) = 0;
  virtual HRESULT get_LastName(BSTR* pValue) = 0;
  virtual HRESULT get_LastNameAndFirstName(BSTR* pValue) = 0;

protected:
  ~_ContactItem() = default;
};
