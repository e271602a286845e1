// ComCheck: how the pickers call the contacts object model. A negative result,
// or a missing interface where one is required, becomes a _com_error that
// names the interface whose member failed; the pickers catch it where a
// failure ends their reading.
#pragma once

#include <zplatform/Com.h>

namespace tarvo {

// Raises _com_error(hr, iid) when hr is negative.
inline void ComCheck(HRESULT hr, const IID& iid) {
  if (FAILED(hr)) throw _com_error(hr, iid);
}

// ComCheck, and E_POINTER when the call succeeded without the interface it
// had to hand out.
template <class T>
void ComCheck(HRESULT hr, const zplatform::ComPtr<T>& required, const IID& iid) {
  ComCheck(hr, iid);
  if (!required) throw _com_error(E_POINTER, iid);
}

}  // namespace tarvo
