// The objects of the contacts provider: their IUnknown part (from the
// platform) and how they are made and handed out.
#pragma once

#include <zplatform/ComObject.h>

#include <new>
#include <utility>

namespace contacts {

// IUnknown, IDispatch and the object's own interface.
template <class Interface, const IID& kIid>
using ComObject = zplatform::ComObject<Interface, IID_IDispatch, kIid>;

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
