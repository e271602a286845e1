// The provider's objects: IUnknown from the platform (the address-book
// interfaces have no identifiers of their own here), and the guard that keeps
// exceptions from crossing the C boundary.
#pragma once

#include <zplatform/ComObject.h>

#include <exception>
#include <new>

namespace wab32 {

using zplatform::ComObject;

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
