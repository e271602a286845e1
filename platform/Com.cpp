// COM apartments: each thread remembers the model it entered and how often.
#include <zplatform/Com.h>

namespace {

struct Apartment {
  int depth = 0;
  DWORD model = 0;
};

thread_local Apartment t_apartment;

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
