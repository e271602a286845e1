// The provider's one export: the class factory of the contacts application.
#include "ComObject.h"
#include "ContactsModel.h"

namespace contacts {

namespace {

// A class factory is no automation object: no IDispatch.
class ClassFactory final : public zplatform::ComObject<IClassFactory, IID_IClassFactory> {
public:
  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    zplatform::ComPtr<_Application> application = NewApplication();
    if (!application) return E_OUTOFMEMORY;
    return application->QueryInterface(riid, ppvObject);
  }

  // The library is never unloaded, so there is nothing to keep.
  HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

}  // namespace contacts

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_OutlookApplication) return CLASS_E_CLASSNOTAVAILABLE;
  zplatform::ComPtr<IClassFactory> factory = contacts::MakeObject<contacts::ClassFactory, IClassFactory>();
  if (!factory) return E_OUTOFMEMORY;
  return factory->QueryInterface(riid, ppv);
}
