// The IUnknown part of the provider's objects: a reference count, deletion
// at the last Release, and IUnknown as the only interface identifier known
// (the address-book interfaces have none of their own here).
#pragma once

#include <zplatform/Com.h>

#include <atomic>
#include <exception>
#include <new>

namespace wab32 {

template <class Interface>
class ComObject : public Interface {
public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
    AddRef();
    *ppvObject = static_cast<IUnknown*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }

protected:
  ComObject() = default;
  virtual ~ComObject() = default;

private:
  std::atomic<ULONG> m_refs{1};
};

// Runs a member's body so that no exception crosses the C boundary: an
// exhausted heap becomes MAPI_E_NOT_ENOUGH_MEMORY, anything else
// MAPI_E_CALL_FAILED.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return MAPI_E_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return MAPI_E_CALL_FAILED;
  }
}

}  // namespace wab32
