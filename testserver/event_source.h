// EventSource: an automation object that fires events through a connection
// point for its outgoing dispinterface (IID_SampleEvents), see
// sample_server.h, namespace sample_events.
#pragma once

#include <array>

#include "platform/com_platform.h"
#include "testserver/sample_object.h"

// COM interfaces have no virtual destructor: the object is destroyed by its
// own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class EventSource final : public IDispatch,
                          public IConnectionPointContainer,
                          public IConnectionPoint,
                          private SampleObject {
 public:
  static constexpr unsigned kMaxSinks = 2;

  explicit EventSource(Accounting accounting) : SampleObject(accounting) {}
  ~EventSource() override;

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

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

 private:
  // Calls Invoke on every sink; the last sink's HRESULT (S_OK without sinks).
  HRESULT fire(DISPID event, WORD flags, VARIANT* args, UINT count, DISPID* named, UINT named_count,
               VARIANT* result);
  HRESULT fire_from_native_thread(VARIANT* result);
  HRESULT ask_names(DISPPARAMS* params, VARIANT* result);

  std::array<IDispatch*, kMaxSinks> sinks_{};
  HRESULT next_advise_ = S_OK;  // what the next Advise returns when it is a failure
  HRESULT last_hresult_ = S_OK;
};
#pragma GCC diagnostic pop
