// COM apartments: each thread remembers the model it entered and how often.
// Object creation: a class's registration names its provider library, whose
// class factory makes the object.
#include <zplatform/Com.h>

#include <zplatform/DynamicLibrary.h>
#include <zplatform/Registry.h>

#include <map>
#include <mutex>
#include <string>

namespace {

struct Apartment {
  int depth = 0;
  DWORD model = 0;
};

thread_local Apartment t_apartment;

// The entry points of the provider libraries loaded so far, by their
// registered name. The libraries are never unloaded: objects they made may
// live until the process ends.
class ProviderLibraries {
public:
  // The library's DllGetClassObject, loading it on first use; null with the
  // reason in *failure when it does not load or lacks the entry point.
  LPFNGETCLASSOBJECT EntryPoint(const std::string& name, HRESULT* failure) {
    std::lock_guard lock(m_mutex);
    if (auto found = m_entries.find(name); found != m_entries.end()) return found->second;
    HMODULE library = LoadLibrary(name.c_str());
    if (!library) {
      *failure = CO_E_DLLNOTFOUND;
      return nullptr;
    }
    // POSIX allows converting the symbol's address to the function's type.
    auto entry = reinterpret_cast<LPFNGETCLASSOBJECT>(GetProcAddress(library, "DllGetClassObject"));
    if (!entry) {
      // Nothing of it is used, so it need not stay.
      FreeLibrary(library);
      *failure = CO_E_ERRORINDLL;
      return nullptr;
    }
    m_entries.emplace(name, entry);
    return entry;
  }

private:
  std::mutex m_mutex;
  std::map<std::string, LPFNGETCLASSOBJECT> m_entries;
};

ProviderLibraries& Libraries() {
  static ProviderLibraries libraries;
  return libraries;
}

std::string RegisteredLibrary(REFCLSID rclsid) {
  return zplatform::RegReadString(HKEY_CLASSES_ROOT, "CLSID\\" + zplatform::GuidToString(rclsid) + "\\InprocServer32", "");
}

}  // namespace

HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit) {
  if (pvReserved) return E_INVALIDARG;
  const DWORD model = dwCoInit & COINIT_APARTMENTTHREADED;
  if (t_apartment.depth > 0) {
    if (t_apartment.model != model) return RPC_E_CHANGED_MODE;
    ++t_apartment.depth;
    return S_FALSE;
  }
  t_apartment = {1, model};
  return S_OK;
}

void CoUninitialize() {
  if (t_apartment.depth > 0) --t_apartment.depth;
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (t_apartment.depth == 0) return CO_E_NOTINITIALIZED;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  // Only in-process servers exist here.
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;

  const std::string library = RegisteredLibrary(rclsid);
  if (library.empty()) return REGDB_E_CLASSNOTREG;
  HRESULT failure = E_FAIL;
  const LPFNGETCLASSOBJECT getClassObject = Libraries().EntryPoint(library, &failure);
  if (!getClassObject) return failure;

  zplatform::ComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(rclsid, IID_IClassFactory, factory.PutVoid());
  if (FAILED(hr)) return hr;
  if (!factory) return E_UNEXPECTED;
  hr = factory->CreateInstance(nullptr, riid, ppv);
  if (FAILED(hr)) {
    *ppv = nullptr;
  } else if (!*ppv) {
    hr = E_UNEXPECTED;
  }
  return hr;
}

HRESULT OleRun(IUnknown* pUnknown) { return pUnknown ? S_OK : E_INVALIDARG; }
