#include "CWabReader.h"

#include "TarvoStrings.h"

#include <zplatform/Registry.h>

#include <cstring>

using zplatform::ComPtr;

namespace {

constexpr char kLibraryKey[] = "Software\\Microsoft\\WAB\\DLLPath";
constexpr char kDefaultLibrary[] = "WAB32.DLL";
constexpr DWORD kLibraryPathBytes = 260;  // MAX_PATH

// Display name, entry identifier, object type: only the first and last are used.
constexpr SizedSPropTagArray<3> kColumns = {3, {PR_DISPLAY_NAME_A, PR_ENTRYID, PR_OBJECT_TYPE}};

// Frees a block the address-book library handed out.
struct WabFree {
  IWABObject* wab;
  void operator()(void* block) const {
    if (block) wab->FreeBuffer(block);
  }
};

// A row set goes with its rows' property arrays, each a block of its own.
struct RowSetFree {
  IWABObject* wab;
  void operator()(SRowSet* rows) const {
    if (!rows) return;
    const SRow* row = rows->aRow;  // cRows rows in one block
    for (ULONG i = 0; i < rows->cRows; ++i) wab->FreeBuffer(row[i].lpProps);
    wab->FreeBuffer(rows);
  }
};

// The row's property with this tag, or null when it has none.
const SPropValue* FindProp(const SRow& row, ULONG tag) {
  for (ULONG i = 0; row.lpProps && i < row.cValues; ++i) {
    if (row.lpProps[i].ulPropTag == tag) return &row.lpProps[i];
  }
  return nullptr;
}

}  // namespace

std::string CWabReader::RegisteredLibraryPath() {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kLibraryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  char buffer[kLibraryPathBytes] = {};
  DWORD size = sizeof buffer;
  DWORD type = REG_NONE;
  const LONG status = RegQueryValueEx(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
  RegCloseKey(key);
  // A value too long for the buffer, or of another type, names no library.
  if (status != ERROR_SUCCESS || type != REG_SZ || size > sizeof buffer) return {};
  return std::string(buffer, ::strnlen(buffer, size));
}

CWabReader::CWabReader(std::optional<std::string> path) {
  const std::string registered = RegisteredLibraryPath();
  m_hLibrary.reset(LoadLibrary(registered.empty() ? kDefaultLibrary : registered.c_str()));
  if (!m_hLibrary) return;
  m_pfnWABOpen = reinterpret_cast<LPWABOPEN>(GetProcAddress(m_hLibrary.get(), "WABOpen"));
  if (!m_pfnWABOpen) return;

  WAB_PARAM param{};
  param.cbSize = sizeof param;
  if (path) {
    m_sPath = std::move(*path);
    param.szFileName = m_sPath.data();
  }
  const HRESULT hr = m_pfnWABOpen(m_pAddrBook.Put(), m_pWABObject.Put(), &param, 0);
  // Both objects are needed; a library that reports success without them is
  // treated as one that failed.
  m_bOpened = hr == 0 && m_pAddrBook && m_pWABObject;
}

CWabReader::~CWabReader() {
  // The objects' code lives in the library: release them before it goes.
  m_pAddrBook.Reset();
  m_pWABObject.Reset();
}

HRESULT CWabReader::ListMailUsers(std::vector<std::string>& names, std::string& error) {
  if (!m_bOpened) return MAPI_E_CALL_FAILED;
  IWABObject* wab = m_pWABObject.Get();

  ULONG entrySize = 0;
  LPENTRYID entry = nullptr;
  HRESULT hr = m_pAddrBook->GetPAB(&entrySize, &entry);
  std::unique_ptr<ENTRYID, WabFree> entryOwner(entry, WabFree{wab});
  if (hr != 0) {
    error = tarvo::Text(tarvo::IDS_WAB_STEP_PAB);
    return hr;
  }

  ComPtr<IUnknown> opened;
  ULONG objectType = 0;
  hr = m_pAddrBook->OpenEntry(entrySize, entry, nullptr, 0, &objectType, opened.Put());
  entryOwner.reset();  // freed whatever the result
  if (FAILED(hr) || !opened) {
    error = tarvo::Text(tarvo::IDS_WAB_STEP_ROOT);
    return FAILED(hr) ? hr : MAPI_E_CALL_FAILED;
  }
  // Without an interface identifier the entry comes as its own interface,
  // which for the personal address book is its container.
  ComPtr<IABContainer> container(static_cast<IABContainer*>(opened.Detach()));

  ComPtr<IMAPITable> table;
  hr = container->GetContentsTable(0, table.Put());
  if (FAILED(hr) || !table) {
    error = tarvo::Text(tarvo::IDS_WAB_STEP_CONTENTS);
    return FAILED(hr) ? hr : MAPI_E_CALL_FAILED;
  }
  hr = table->SetColumns(reinterpret_cast<const SPropTagArray*>(&kColumns), 0);
  if (FAILED(hr)) {
    error = tarvo::Text(tarvo::IDS_WAB_STEP_COLUMNS);
    return hr;
  }
  hr = table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr);
  if (FAILED(hr)) {
    error = tarvo::Text(tarvo::IDS_WAB_STEP_SEEK);
    return hr;
  }
  return ListRows(*table.Get(), names, error);
}

// One row at a time until the table ends or fails.
HRESULT CWabReader::ListRows(IMAPITable& table, std::vector<std::string>& names, std::string& error) {
  for (;;) {
    LPSRowSet rows = nullptr;
    const HRESULT hr = table.QueryRows(1, 0, &rows);
    const std::unique_ptr<SRowSet, RowSetFree> rowsOwner(rows, RowSetFree{m_pWABObject.Get()});
    if (FAILED(hr)) {
      error = tarvo::Text(tarvo::IDS_WAB_STEP_ROWS);
      return hr;
    }
    if (!rows || rows->cRows == 0) return hr;
    const SRow& row = rows->aRow[0];
    const SPropValue* type = FindProp(row, PR_OBJECT_TYPE);
    const SPropValue* name = FindProp(row, PR_DISPLAY_NAME_A);
    // Only mail users are listed; a row without a name has nothing to show.
    if (type && type->Value.l == static_cast<LONG>(MAPI_MAILUSER) && name && name->Value.lpszA)
      names.emplace_back(name->Value.lpszA);
  }
}
