#include "testserver/bench_object.h"

#include <array>

#include "testserver/dispatch_call.h"
#include "testserver/sample_server.h"

namespace {

namespace sb = sample_bench;

// Names and parameters for GetIDsOfNames only; Invoke switches on the DISPID.
struct BenchName {
  const char* name;
  DISPID dispid;
  std::array<const char*, kMaxDispatchParams> params;
};

const BenchName kNames[] = {
    {"Nop", sb::kNop, {}},
    {"Choose", sb::kChoose, {"i", "s", "d"}},
    {"Discard", sb::kDiscard, {"value"}},
    {"Vector", sb::kVector, {}},
    {"Matrix", sb::kMatrix, {}},
};

unsigned param_count(const BenchName& name) {
  unsigned n = 0;
  while (n < name.params.size() && name.params[n] != nullptr) ++n;
  return n;
}

// A VT_R8 array with the given bounds (first dimension first) whose element at
// flat position k holds k + 1.
SAFEARRAY* prepared_doubles(SAFEARRAYBOUND* bounds, UINT dims) {
  SAFEARRAY* array = SafeArrayCreate(VT_R8, dims, bounds);
  if (array == nullptr) return nullptr;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    SafeArrayDestroy(array);
    return nullptr;
  }
  ULONG count = 1;
  for (UINT d = 0; d < dims; ++d) count *= bounds[d].cElements;
  auto* values = static_cast<double*>(data);
  for (ULONG k = 0; k < count; ++k) values[k] = static_cast<double>(k) + 1.0;
  SafeArrayUnaccessData(array);
  return array;
}

HRESULT return_copy(SAFEARRAY* prepared, VARIANT* result) {
  if (prepared == nullptr) return E_OUTOFMEMORY;
  if (result == nullptr) return S_OK;
  SAFEARRAY* copy = nullptr;
  const HRESULT hr = SafeArrayCopy(prepared, &copy);
  if (FAILED(hr)) return hr;
  result->vt = VT_ARRAY | VT_R8;
  result->parray = copy;
  return S_OK;
}

}  // namespace

BenchObject::BenchObject(Accounting accounting) : SampleObject(accounting) {
  SAFEARRAYBOUND vector_bound{sb::kVectorLength, 0};
  vector_ = prepared_doubles(&vector_bound, 1);
  SAFEARRAYBOUND matrix_bounds[2] = {{sb::kMatrixSide, 0}, {sb::kMatrixSide, 0}};
  matrix_ = prepared_doubles(matrix_bounds, 2);
}

BenchObject::~BenchObject() {
  SafeArrayDestroy(vector_);
  SafeArrayDestroy(matrix_);
}

HRESULT BenchObject::create(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* object = new BenchObject(Accounting::kCounted);
  const HRESULT hr = object->prepared() ? object->QueryInterface(riid, out) : E_OUTOFMEMORY;
  if (FAILED(hr)) delete object;
  return hr;
}

HRESULT BenchObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    add_ref();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT BenchObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = 0;
  return S_OK;
}

HRESULT BenchObject::GetTypeInfo(UINT /*index*/, LCID /*lcid*/, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT BenchObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID /*lcid*/,
                                   DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_INVALIDARG;
  if (count == 0) return S_OK;
  for (const BenchName& name : kNames) {
    if (names[0] != nullptr && dispatch_name_matches(name.name, names[0])) {
      return dispatch_ids_of_names(name.params.data(), param_count(name), name.dispid, true, names,
                                   count, ids);
    }
  }
  return dispatch_ids_of_names(nullptr, 0, DISPID_UNKNOWN, false, names, count, ids);
}

HRESULT BenchObject::Invoke(DISPID id, REFIID riid, LCID /*lcid*/, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO* /*excep_info*/, UINT* arg_err) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  const UINT args = params->cArgs;
  switch (id) {
    case sb::kNop:
      return args == 0 ? S_OK : DISP_E_BADPARAMCOUNT;
    case sb::kChoose: {
      if (args != 3) return DISP_E_BADPARAMCOUNT;
      // Storage order is reversed: rgvarg[2] is i, [1] s, [0] d.
      for (UINT k = 0; k < 3; ++k) {
        static const VARTYPE kTypes[3] = {VT_R8, VT_BSTR, VT_I4};
        if (params->rgvarg[k].vt != kTypes[k]) {
          if (arg_err != nullptr) *arg_err = k;
          return DISP_E_TYPEMISMATCH;
        }
      }
      if (result == nullptr) return S_OK;
      const BSTR s = params->rgvarg[1].bstrVal;
      const BSTR copy = s != nullptr ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
      if (s != nullptr && copy == nullptr) return E_OUTOFMEMORY;
      result->vt = VT_BSTR;
      result->bstrVal = copy;
      return S_OK;
    }
    case sb::kDiscard:
      return args == 1 ? S_OK : DISP_E_BADPARAMCOUNT;
    case sb::kVector:
      return args == 0 ? return_copy(vector_, result) : DISP_E_BADPARAMCOUNT;
    case sb::kMatrix:
      return args == 0 ? return_copy(matrix_, result) : DISP_E_BADPARAMCOUNT;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}
