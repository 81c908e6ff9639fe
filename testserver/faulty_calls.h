// FaultyCalls: an object whose every method but Release raises an access
// violation, so that a caller's guard around AddRef, QueryInterface,
// GetIDsOfNames and Invoke can be watched. The class object hands out the
// new object's first reference without calling any of its methods, and
// Release frees it as usual.
#pragma once

#include "platform/com_platform.h"
#include "testserver/sample_object.h"

// COM interfaces have no virtual destructor: the object is destroyed by its
// own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FaultyCalls final : public IDispatch, private SampleObject {
 public:
  explicit FaultyCalls(Accounting accounting) : SampleObject(accounting) {}

  // IID_IUnknown and IID_IDispatch only.
  static HRESULT create(REFIID riid, void** out);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep_info,
                                   UINT* arg_err) override;
};
#pragma GCC diagnostic pop
