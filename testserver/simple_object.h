// The plain sample classes (Counter, LocalOnly, Moniker, Running): IUnknown
// and IDispatch with two read-only members, RefCount and Kind.
#pragma once

#include "platform/com_platform.h"
#include "testserver/dispatch_call.h"
#include "testserver/sample_object.h"

enum class SimpleKind { kCounter, kLocalOnly, kMoniker, kRunning };

// COM interfaces have no virtual destructor: the object is destroyed by its
// own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class SimpleObject final : public IDispatch, private SampleObject {
 public:
  SimpleObject(SimpleKind kind, Accounting accounting);

  // Class-object creator for one kind.
  template <SimpleKind kKind>
  static HRESULT create(REFIID riid, void** out) {
    return create_sample_object<SimpleObject>(riid, out, kKind);
  }

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

  HRESULT ref_count(DispatchCall& call);
  HRESULT kind(DispatchCall& call);

 private:
  const SimpleKind kind_;
};
#pragma GCC diagnostic pop

// A new counted Counter as IDispatch (reference count 1).
IDispatch* new_counter();
