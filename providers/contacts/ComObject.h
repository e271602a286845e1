// The IUnknown part shared by every object of the contacts provider: a
// reference count and QueryInterface for IUnknown, IDispatch and the
// object's own interface.
#pragma once

#include <zplatform/Com.h>

#include <atomic>
#include <new>
#include <utility>

namespace contacts {

template <class Interface, const IID& kIid>
class ComObject : public Interface {
public:
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (!Supports(riid)) return E_NOINTERFACE;
    AddRef();
    // Every interface asked for is the one virtual table: IDispatch and
    // IUnknown are its beginning.
    *ppvObject = static_cast<Interface*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++m_references; }
  ULONG Release() override {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
  }

protected:
  ComObject() = default;
  virtual ~ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // Which interfaces QueryInterface answers; an object may refuse its own.
  virtual bool Supports(REFIID riid) const {
    return riid == IID_IUnknown || riid == IID_IDispatch || riid == kIid;
  }

private:
  std::atomic<ULONG> m_references{1};
};

// A new object as one of its interfaces, holding the one reference the
// caller gets; null when memory runs out.
template <class Object, class Interface, class... Args>
zplatform::ComPtr<Interface> MakeObject(Args&&... args) {
  try {
    return zplatform::ComPtr<Interface>(new Object(std::forward<Args>(args)...));
  } catch (const std::bad_alloc&) {
    return {};
  }
}

// Hands an object's reference over to an out parameter.
template <class Interface>
HRESULT HandOver(zplatform::ComPtr<Interface> object, Interface** out) {
  if (!object) return E_OUTOFMEMORY;
  *out = object.Detach();
  return S_OK;
}

}  // namespace contacts
