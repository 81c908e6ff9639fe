#include "testserver/class_factory.h"

ClassFactory::ClassFactory(Creator creator)
    : SampleObject(Accounting::kRegistrationOwned), creator_(creator) {
  add_ref();
}

HRESULT ClassFactory::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *out = static_cast<IClassFactory*>(this);
    add_ref();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  const HRESULT hr = creator_(riid, out);
  if (SUCCEEDED(hr)) ++created_;
  return hr;
}

// The server lives as long as the process; locking changes nothing.
HRESULT ClassFactory::LockServer(BOOL /*lock*/) {
  return S_OK;
}
