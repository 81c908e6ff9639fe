#include "testserver/faulty_calls.h"

#include "testserver/access_violation.h"

HRESULT FaultyCalls::create(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
  auto* object = new FaultyCalls(Accounting::kCounted);
  object->add_ref();
  *out = static_cast<IDispatch*>(object);
  return S_OK;
}

HRESULT FaultyCalls::QueryInterface(REFIID /*riid*/, void** /*out*/) {
  raise_access_violation();
  return E_NOINTERFACE;
}

ULONG FaultyCalls::AddRef() {
  raise_access_violation();
  return refs();
}

HRESULT FaultyCalls::GetTypeInfoCount(UINT* /*count*/) {
  raise_access_violation();
  return E_NOTIMPL;
}

HRESULT FaultyCalls::GetTypeInfo(UINT /*index*/, LCID /*lcid*/, ITypeInfo** /*info*/) {
  raise_access_violation();
  return E_NOTIMPL;
}

HRESULT FaultyCalls::GetIDsOfNames(REFIID /*riid*/, LPOLESTR* /*names*/, UINT /*count*/,
                                   LCID /*lcid*/, DISPID* /*ids*/) {
  raise_access_violation();
  return DISP_E_UNKNOWNNAME;
}

HRESULT FaultyCalls::Invoke(DISPID /*id*/, REFIID /*riid*/, LCID /*lcid*/, WORD /*flags*/,
                            DISPPARAMS* /*params*/, VARIANT* /*result*/, EXCEPINFO* /*excep_info*/,
                            UINT* /*arg_err*/) {
  raise_access_violation();
  return DISP_E_MEMBERNOTFOUND;
}
