// A minimal COM layer: apartments, GUIDs, IUnknown and IDispatch, class
// factories, BSTR texts, and CoCreateInstance finding a class's provider
// library through its HKEY_CLASSES_ROOT registration in the machine hive:
//
//   [HKEY_CLASSES_ROOT\CLSID\{0006F03A-0000-0000-C000-000000000046}\InprocServer32]
//   @="libzcontacts.so"
//
// The library is loaded with LoadLibrary (program directory first) and must
// export `HRESULT DllGetClassObject(REFCLSID, REFIID, void**)`. Interfaces are
// C++ classes with pure virtual members, called through their virtual tables.
#pragma once

#include <zplatform/WinTypes.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | 0x10;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

// S_OK on the first call of a thread, S_FALSE on later ones with the same
// model, RPC_E_CHANGED_MODE when the thread already chose the other model.
HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
void CoUninitialize();

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (std::size_t i = 0; i < sizeof a.Data4; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }

class IUnknown {
public:
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

protected:
  // Objects end through Release, never through delete on an interface.
  ~IUnknown() = default;
};

// The generic automation object; collections hand out their items as this.
// Nothing here calls by name, so only the IUnknown part is used.
class IDispatch : public IUnknown {
protected:
  ~IDispatch() = default;
};

class IClassFactory : public IUnknown {
public:
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT LockServer(BOOL fLock) = 0;

protected:
  ~IClassFactory() = default;
};

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The entry point a provider library exports.
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID rclsid, REFIID riid, void** ppv);

// Creates an object of a registered class (see the top of this file).
// REGDB_E_CLASSNOTREG when the class has no registration, CO_E_DLLNOTFOUND
// when its library does not load, CO_E_ERRORINDLL when it lacks the entry
// point, CLASS_E_NOAGGREGATION for an outer object, CO_E_NOTINITIALIZED when
// the thread has not entered an apartment; otherwise the provider's answer.
// Only in-process servers exist: a dwClsContext without CLSCTX_INPROC_SERVER
// finds no class (REGDB_E_CLASSNOTREG). *ppv is null after any failure.
// The provider library stays loaded for the rest of the process.
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv);

// Puts an object into its running state. In-process objects already run.
HRESULT OleRun(IUnknown* pUnknown);

// BSTR: UTF-16 text with its length in bytes stored before the first
// character and a terminating zero after the last; a null BSTR is the empty
// text. Allocated and freed only by these functions. SysAllocStringLen with
// no source gives ui zero characters; a text too long for the 32-bit length
// (or no memory) gives null.
using OLECHAR = char16_t;
using BSTR = OLECHAR*;
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR bstrString);

namespace zplatform {

// "{0006F03A-0000-0000-C000-000000000046}", upper-case hex, with braces.
std::string GuidToString(REFGUID guid);

// The program's 8-bit text is UTF-8: a BSTR's text as UTF-8 (unpaired
// surrogates become U+FFFD), and a new BSTR from UTF-8 (invalid bytes become
// U+FFFD); the caller frees it with SysFreeString.
std::string BstrToUtf8(BSTR text);
BSTR Utf8ToBstr(std::string_view text);

// Owns one reference to an interface and releases it when it goes.
template <class T>
class ComPtr {
public:
  ComPtr() = default;
  // Takes over a reference the caller already holds (no AddRef).
  explicit ComPtr(T* p) : m_p(p) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.m_p, nullptr));
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // For an out parameter: drops the reference held, then receives a new one.
  T** Put() {
    Reset();
    return &m_p;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  T* Detach() { return std::exchange(m_p, nullptr); }
  void Reset(T* p = nullptr) {
    if (T* old = std::exchange(m_p, p)) old->Release();
  }

private:
  T* m_p = nullptr;
};

// Owns a BSTR.
class Bstr {
public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8) : m_s(Utf8ToBstr(utf8)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : m_s(std::exchange(other.m_s, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) SysFreeString(std::exchange(m_s, std::exchange(other.m_s, nullptr)));
    return *this;
  }
  ~Bstr() { SysFreeString(m_s); }

  BSTR Get() const { return m_s; }
  BSTR* Put() {
    SysFreeString(std::exchange(m_s, nullptr));
    return &m_s;
  }
  std::string Utf8() const { return BstrToUtf8(m_s); }

private:
  BSTR m_s = nullptr;
};

}  // namespace zplatform

// The COM error raised by callers of dual interfaces for a negative result
// (or a missing interface pointer where one is required): the code and the
// identifier of the interface whose member failed.
class _com_error {
public:
  _com_error(HRESULT hr, const IID& iid) : m_hr(hr), m_iid(iid) {}
  HRESULT Error() const { return m_hr; }
  const IID& Guid() const { return m_iid; }

private:
  HRESULT m_hr;
  IID m_iid;
};
