// FaultyRelease: an object whose Release raises an access violation. The
// count is updated (and the object freed at 0) before the fault, so a caller
// whose fault guard abandons the call still leaks nothing.
#pragma once

#include "platform/com_platform.h"
#include "testserver/sample_object.h"

void set_faulty_release_armed(bool armed);

// COM interfaces have no virtual destructor: the object is destroyed by its
// own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FaultyRelease final : public IDispatch, private SampleObject {
 public:
  explicit FaultyRelease(Accounting accounting) : SampleObject(accounting) {}

  static HRESULT create(REFIID riid, void** out) {
    return create_sample_object<FaultyRelease>(riid, out);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
  ULONG STDMETHODCALLTYPE Release() override;

  // No members: every name is unknown, every DISPID not found.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep_info,
                                   UINT* arg_err) override;
};
#pragma GCC diagnostic pop
