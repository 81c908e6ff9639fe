// Bench: an IDispatch whose members do as little as a member can, for the
// benchmark suite (sample_server.h, namespace sample_bench). Invoke neither
// formats, records nor locks; the arrays it returns are copies of arrays
// prepared when the object is made.
#pragma once

#include "platform/com_platform.h"
#include "testserver/sample_object.h"

// COM interfaces have no virtual destructor: the object is destroyed by its
// own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class BenchObject final : public IDispatch, private SampleObject {
 public:
  explicit BenchObject(Accounting accounting);
  ~BenchObject() override;

  static HRESULT create(REFIID riid, void** out);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep_info,
                                   UINT* arg_err) override;

  // True when both prepared arrays exist.
  bool prepared() const { return vector_ != nullptr && matrix_ != nullptr; }

 private:
  SAFEARRAY* vector_ = nullptr;  // VT_R8 [1_000_000]
  SAFEARRAY* matrix_ = nullptr;  // VT_R8 [1000][1000]
};
#pragma GCC diagnostic pop
