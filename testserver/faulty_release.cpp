#include "testserver/faulty_release.h"

#include "testserver/access_violation.h"

namespace {
// Volatile-guarded so the fault stays in the code and can be switched off.
volatile bool g_armed = true;
}  // namespace

void set_faulty_release_armed(bool armed) {
  g_armed = armed;
}

HRESULT FaultyRelease::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    add_ref();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG FaultyRelease::Release() {
  const ULONG left = release();
  if (g_armed) raise_access_violation();
  return left;
}

HRESULT FaultyRelease::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = 0;
  return S_OK;
}

HRESULT FaultyRelease::GetTypeInfo(UINT /*index*/, LCID /*lcid*/, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT FaultyRelease::GetIDsOfNames(REFIID riid, LPOLESTR* /*names*/, UINT count, LCID /*lcid*/,
                                     DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (ids == nullptr) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT FaultyRelease::Invoke(DISPID /*id*/, REFIID riid, LCID /*lcid*/, WORD /*flags*/,
                              DISPPARAMS* /*params*/, VARIANT* /*result*/,
                              EXCEPINFO* /*excep_info*/, UINT* /*arg_err*/) {
  return IsEqualIID(riid, IID_NULL) ? DISP_E_MEMBERNOTFOUND : DISP_E_UNKNOWNINTERFACE;
}
