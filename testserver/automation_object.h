// Automation: an IDispatch whose members (sample_server.h, namespace
// sample_automation) make every path of an IDispatch client reachable.
#pragma once

#include <array>
#include <mutex>
#include <string>

#include "platform/com_platform.h"
#include "testserver/automation_samples.h"
#include "testserver/dispatch_call.h"
#include "testserver/sample_object.h"

// COM interfaces have no virtual destructor: the object is destroyed by its
// own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class AutomationObject final : public IDispatch, private SampleObject {
 public:
  explicit AutomationObject(Accounting accounting);
  ~AutomationObject() override;

  static HRESULT create(REFIID riid, void** out) {
    return create_sample_object<AutomationObject>(riid, out);
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

  // Member handlers.
  HRESULT value(DispatchCall& call);
  HRESULT echo(DispatchCall& call);
  HRESULT return_type(DispatchCall& call);
  HRESULT return_string(DispatchCall& call);
  HRESULT make_array_member(DispatchCall& call);
  HRESULT make_safearray_variant(DispatchCall& call);
  HRESULT make_dispatch_array_member(DispatchCall& call);
  HRESULT make_jagged_array_member(DispatchCall& call);
  HRESULT make_nested_array_member(DispatchCall& call);
  HRESULT set_ref(DispatchCall& call);
  HRESULT fail(DispatchCall& call);
  HRESULT fail_deferred(DispatchCall& call);
  HRESULT s_false(DispatchCall& call);
  HRESULT crash(DispatchCall& call);
  HRESULT last_call(DispatchCall& call);
  HRESULT ref_count(DispatchCall& call);
  HRESULT item(DispatchCall& call);
  HRESULT return_null_pointer(DispatchCall& call);
  HRESULT new_enum(DispatchCall& call);
  HRESULT last(DispatchCall& call);

 private:
  static constexpr size_t kItems = 10;

  void record_call(DISPID id, WORD flags, const DISPPARAMS* params);
  // Property get/put on one stored VARIANT.
  HRESULT stored_property(DispatchCall& call, VARIANT& slot);

  std::mutex mutex_;  // Guards last_call_, value_ and items_.
  std::string last_call_;
  VARIANT value_;
  std::array<VARIANT, kItems> items_;
  ByRefSamples by_ref_;
};
#pragma GCC diagnostic pop
