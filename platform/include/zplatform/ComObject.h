// The IUnknown part of an object a provider serves: a reference count that
// starts at the creator's one reference, deletion at the last Release, and
// QueryInterface for IUnknown and the interface identifiers named.
#pragma once

#include <zplatform/Com.h>

#include <atomic>

namespace zplatform {

template <class Interface, const IID&... kIids>
class ComObject : public Interface {
public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (!Supports(riid)) return E_NOINTERFACE;
    AddRef();
    // Single inheritance: every interface answered is the beginning of the
    // one virtual table.
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

  // Which interfaces QueryInterface answers; an object may refuse one.
  virtual bool Supports(REFIID riid) const { return riid == IID_IUnknown || ((riid == kIids) || ...); }

private:
  std::atomic<ULONG> m_references{1};
};

}  // namespace zplatform
