#include "testserver/simple_object.h"

#include "testserver/sample_server.h"

namespace {

constexpr DISPID kRefCountId = 1;
constexpr DISPID kKindId = 2;

const DispatchMember<SimpleObject> kMembers[] = {
    {"RefCount", kRefCountId, DISPATCH_PROPERTYGET, 0, {}, &SimpleObject::ref_count},
    {"Kind", kKindId, DISPATCH_PROPERTYGET, 0, {}, &SimpleObject::kind},
};

const OLECHAR* const kKindNames[] = {OLESTR("Counter"), OLESTR("LocalOnly"), OLESTR("Moniker"),
                                     OLESTR("Running")};

}  // namespace

SimpleObject::SimpleObject(SimpleKind kind, Accounting accounting)
    : SampleObject(accounting), kind_(kind) {}

HRESULT SimpleObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    add_ref();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT SimpleObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = 0;
  return S_OK;
}

HRESULT SimpleObject::GetTypeInfo(UINT /*index*/, LCID /*lcid*/, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT SimpleObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID /*lcid*/,
                                    DISPID* ids) {
  return dispatch_get_ids_of_names(kMembers, riid, names, count, ids);
}

HRESULT SimpleObject::Invoke(DISPID id, REFIID riid, LCID /*lcid*/, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excep_info, UINT* arg_err) {
  return dispatch_invoke(*this, kMembers, id, riid, flags, params, result, excep_info, arg_err);
}

HRESULT SimpleObject::ref_count(DispatchCall& call) {
  call.result()->vt = VT_I4;
  call.result()->lVal = static_cast<LONG>(refs());
  return S_OK;
}

HRESULT SimpleObject::kind(DispatchCall& call) {
  BSTR name = SysAllocString(kKindNames[static_cast<int>(kind_)]);
  if (name == nullptr) return E_OUTOFMEMORY;
  call.result()->vt = VT_BSTR;
  call.result()->bstrVal = name;
  return S_OK;
}

IDispatch* new_counter() {
  auto* object = new SimpleObject(SimpleKind::kCounter, Accounting::kCounted);
  object->AddRef();
  return object;
}
