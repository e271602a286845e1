// CWabReader: one address book opened through the address-book library
// (WAB32.DLL, here libwab32.so) for as long as it is read. The library named by
// HKEY_LOCAL_MACHINE\Software\Microsoft\WAB\DLLPath, else "WAB32.DLL" along
// the library search path, is loaded and its WABOpen called; the reader is
// opened only when that returns 0. Destroying it releases the book's objects,
// then unloads the library.
#pragma once

#include <zproviders/WabApi.h>
#include <zplatform/DynamicLibrary.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CWabReader {
public:
  // Opens the book in path, or the user's default address book without one.
  explicit CWabReader(std::optional<std::string> path = std::nullopt);
  ~CWabReader();
  CWabReader(const CWabReader&) = delete;
  CWabReader& operator=(const CWabReader&) = delete;

  bool IsOpened() const { return m_bOpened; }

  // Appends the display names of the personal address book's mail users
  // (distribution lists and other objects skipped) to names, in the book's
  // order. Returns the last result: negative on failure, with error set to
  // the step that failed; the names read before it stay. Opened readers only.
  HRESULT ListMailUsers(std::vector<std::string>& names, std::string& error);

  // The library named by the registry value DLLPath, empty when there is none.
  static std::string RegisteredLibraryPath();

private:
  struct LibraryCloser {
    void operator()(HMODULE library) const { FreeLibrary(library); }
  };

  HRESULT ListRows(IMAPITable& table, std::vector<std::string>& names, std::string& error);

  // Declared first so that it goes last, after the objects it implements.
  std::unique_ptr<LibraryHandle, LibraryCloser> m_hLibrary;
  LPWABOPEN m_pfnWABOpen = nullptr;
  std::string m_sPath;  // WABOpen takes a non-const file name
  zplatform::ComPtr<IAddrBook> m_pAddrBook;
  zplatform::ComPtr<IWABObject> m_pWABObject;
  bool m_bOpened = false;
};
