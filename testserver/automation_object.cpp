#include "testserver/automation_object.h"

#include "testserver/access_violation.h"
#include "testserver/sample_server.h"
#include "testserver/variant_values.h"

namespace {

namespace sa = sample_automation;

constexpr WORD kMethod = DISPATCH_METHOD;
constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kPutRef = DISPATCH_PROPERTYPUTREF;

using A = AutomationObject;

const DispatchMember<A> kMembers[] = {
    {"Value", sa::kValue, kGet | kPut | kPutRef, 0, {}, &A::value},
    {"Echo", sa::kEcho, kMethod, 1, {"value"}, &A::echo},
    {"ReturnType", sa::kReturnType, kMethod, 1, {"vt"}, &A::return_type},
    {"ReturnString", sa::kReturnString, kMethod, 1, {"which"}, &A::return_string},
    {"MakeArray",
     sa::kMakeArray,
     kMethod,
     3,
     {"vt", "lb1", "n1", "lb2", "n2", "lb3", "n3"},
     &A::make_array_member},
    {"MakeSafeArrayVariant",
     sa::kMakeSafeArrayVariant,
     kMethod,
     1,
     {"n"},
     &A::make_safearray_variant},
    {"MakeDispatchArray", sa::kMakeDispatchArray, kMethod, 0, {}, &A::make_dispatch_array_member},
    {"MakeJaggedArray", sa::kMakeJaggedArray, kMethod, 0, {}, &A::make_jagged_array_member},
    {"MakeNestedArray", sa::kMakeNestedArray, kMethod, 1, {"depth"}, &A::make_nested_array_member},
    {"SetRef", sa::kSetRef, kMethod, 2, {"ref", "value"}, &A::set_ref},
    {"Fail", sa::kFail, kMethod, 1, {"description", "code"}, &A::fail},
    {"FailDeferred", sa::kFailDeferred, kMethod, 1, {"description"}, &A::fail_deferred},
    {"SFalse", sa::kSFalse, kMethod, 0, {}, &A::s_false},
    {"Crash", sa::kCrash, kMethod, 0, {"a", "b", "c"}, &A::crash},
    {"LastCall", sa::kLastCall, kGet, 0, {}, &A::last_call},
    {"RefCount", sa::kRefCount, kGet, 0, {}, &A::ref_count},
    {"Item", sa::kItem, kGet | kPut, 1, {"index"}, &A::item},
    {"ReturnNullPointer", sa::kReturnNullPointer, kMethod, 1, {"vt"}, &A::return_null_pointer},
    {"_NewEnum", sa::kNewEnum, kMethod | kGet, 0, {}, &A::new_enum},
    {"Last", sa::kLast, kMethod, 1, {"a", "b", "c", "d", "e", "f", "g"}, &A::last},
};

// SetRef: writing a value through a reference of each supported type.
using RefWrite = HRESULT (*)(void* referent, const VARIANT& value);

template <class T>
HRESULT write_integer(void* referent, const VARIANT& value) {
  LONGLONG i = 0;
  if (!read_integer(value, &i)) return DISP_E_TYPEMISMATCH;
  *static_cast<T*>(referent) = static_cast<T>(i);
  return S_OK;
}

template <class T>
HRESULT write_floating(void* referent, const VARIANT& value) {
  double d = 0;
  if (!read_double(value, &d)) return DISP_E_TYPEMISMATCH;
  *static_cast<T*>(referent) = static_cast<T>(d);
  return S_OK;
}

HRESULT write_bool(void* referent, const VARIANT& value) {
  LONGLONG i = 0;
  if (!read_integer(value, &i)) return DISP_E_TYPEMISMATCH;
  *static_cast<VARIANT_BOOL*>(referent) = i != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT write_bstr(void* referent, const VARIANT& value) {
  BSTR text = nullptr;
  if (!read_string(value, &text)) return DISP_E_TYPEMISMATCH;
  BSTR copy = nullptr;
  if (text != nullptr) {
    copy = SysAllocStringLen(text, SysStringLen(text));
    if (copy == nullptr) return E_OUTOFMEMORY;
  }
  BSTR* target = static_cast<BSTR*>(referent);
  SysFreeString(*target);
  *target = copy;
  return S_OK;
}

HRESULT write_variant(void* referent, const VARIANT& value) {
  ScopedVariant copy;
  const HRESULT hr = copy_by_value(copy.get(), value);
  if (FAILED(hr)) return hr;
  VARIANT* target = static_cast<VARIANT*>(referent);
  VariantClear(target);
  copy.hand_over(target);
  return S_OK;
}

struct RefTarget {
  VARTYPE vt;
  RefWrite write;
};

const RefTarget kRefTargets[] = {
    {VT_I2, write_integer<SHORT>},  {VT_I4, write_integer<LONG>},
    {VT_UI1, write_integer<BYTE>},  {VT_I8, write_integer<LONGLONG>},
    {VT_R4, write_floating<float>}, {VT_R8, write_floating<double>},
    {VT_BOOL, write_bool},          {VT_BSTR, write_bstr},
    {VT_VARIANT, write_variant},
};

HRESULT set_bstr_result(VARIANT* result, BSTR text) {
  if (text == nullptr) return E_OUTOFMEMORY;
  result->bstrVal = text;
  result->vt = VT_BSTR;
  return S_OK;
}

BSTR copy_bstr(BSTR text) {
  return SysAllocStringLen(text, SysStringLen(text));
}

// Completes the EXCEPINFO FailDeferred left: scode, source and the
// description prefixed with "deferred: ".
HRESULT STDMETHODCALLTYPE deferred_fill_in(EXCEPINFO* info) {
  if (info == nullptr) return E_POINTER;
  static const char kPrefix[] = "deferred: ";
  const UINT prefix = sizeof(kPrefix) - 1;
  const UINT length = SysStringLen(info->bstrDescription);
  BSTR description = SysAllocStringLen(nullptr, prefix + length);
  if (description == nullptr) return E_OUTOFMEMORY;
  for (UINT i = 0; i < prefix; ++i) description[i] = static_cast<OLECHAR>(kPrefix[i]);
  for (UINT i = 0; i < length; ++i) description[prefix + i] = info->bstrDescription[i];
  SysFreeString(info->bstrDescription);
  info->bstrDescription = description;
  info->bstrSource = ascii_bstr(sample_values::kExceptionSource);
  info->scode = E_FAIL;
  info->pfnDeferredFillIn = nullptr;
  return S_OK;
}

void clear_excep_info(EXCEPINFO* info) {
  *info = EXCEPINFO{};
}

}  // namespace

AutomationObject::AutomationObject(Accounting accounting) : SampleObject(accounting) {
  VariantInit(&value_);
  for (VARIANT& item : items_) VariantInit(&item);
  by_ref_.i4 = sample_values::kByRefI4;
  VariantInit(&by_ref_.variant);
  by_ref_.variant.vt = VT_I4;
  by_ref_.variant.lVal = sample_values::kByRefI4;
}

AutomationObject::~AutomationObject() {
  VariantClear(&value_);
  for (VARIANT& item : items_) VariantClear(&item);
}

HRESULT AutomationObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    add_ref();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT AutomationObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = 0;
  return S_OK;
}

HRESULT AutomationObject::GetTypeInfo(UINT /*index*/, LCID /*lcid*/, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT AutomationObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID /*lcid*/,
                                        DISPID* ids) {
  return dispatch_get_ids_of_names(kMembers, riid, names, count, ids);
}

HRESULT AutomationObject::Invoke(DISPID id, REFIID riid, LCID /*lcid*/, WORD flags,
                                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep_info,
                                 UINT* arg_err) {
  if (id != sa::kLastCall) record_call(id, flags, params);
  return dispatch_invoke(*this, kMembers, id, riid, flags, params, result, excep_info, arg_err);
}

void AutomationObject::record_call(DISPID id, WORD flags, const DISPPARAMS* params) {
  const UINT args = params != nullptr ? params->cArgs : 0;
  const UINT named = params != nullptr ? params->cNamedArgs : 0;
  std::string text = "dispid=" + std::to_string(id) + " flags=" + std::to_string(flags) +
                     " cArgs=" + std::to_string(args) + " cNamed=" + std::to_string(named) +
                     " named=";
  for (UINT i = 0; i < named && params->rgdispidNamedArgs != nullptr; ++i) {
    if (i != 0) text += ',';
    text += std::to_string(params->rgdispidNamedArgs[i]);
  }
  text += " vt=";
  for (UINT i = 0; i < args && params->rgvarg != nullptr; ++i) {
    if (i != 0) text += ',';
    text += std::to_string(params->rgvarg[i].vt);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  last_call_ = std::move(text);
}

HRESULT AutomationObject::stored_property(DispatchCall& call, VARIANT& slot) {
  if (call.is_put()) {
    ScopedVariant copy;
    const HRESULT hr = copy_by_value(copy.get(), *call.put_value());
    if (FAILED(hr)) return hr;
    VARIANT old;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      old = slot;
      copy.hand_over(&slot);
    }
    // Cleared outside the lock: releasing an object may call back in.
    VariantClear(&old);
    return S_OK;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return VariantCopy(call.result(), &slot);
}

HRESULT AutomationObject::value(DispatchCall& call) {
  return stored_property(call, value_);
}

HRESULT AutomationObject::item(DispatchCall& call) {
  LONGLONG index = 0;
  const HRESULT hr = call.integer_arg(0, 0, &index);
  if (FAILED(hr)) return hr;
  if (index < 0 || index >= static_cast<LONGLONG>(kItems)) return DISP_E_BADINDEX;
  return stored_property(call, items_[static_cast<size_t>(index)]);
}

HRESULT AutomationObject::echo(DispatchCall& call) {
  return copy_by_value(call.result(), *call.arg(0));
}

HRESULT AutomationObject::return_type(DispatchCall& call) {
  LONGLONG vt = 0;
  const HRESULT hr = call.integer_arg(0, 0, &vt);
  if (FAILED(hr)) return hr;
  return make_type_sample(static_cast<VARTYPE>(vt), by_ref_, call.result());
}

HRESULT AutomationObject::return_string(DispatchCall& call) {
  LONGLONG which = 0;
  const HRESULT hr = call.integer_arg(0, 0, &which);
  if (FAILED(hr)) return hr;
  return make_string_sample(static_cast<LONG>(which), call.result());
}

HRESULT AutomationObject::return_null_pointer(DispatchCall& call) {
  LONGLONG vt = 0;
  const HRESULT hr = call.integer_arg(0, 0, &vt);
  if (FAILED(hr)) return hr;
  return make_null_pointer(static_cast<VARTYPE>(vt), call.result());
}

HRESULT AutomationObject::make_array_member(DispatchCall& call) {
  LONGLONG vt = 0;
  HRESULT hr = call.integer_arg(0, 0, &vt);
  if (FAILED(hr)) return hr;
  std::array<SAFEARRAYBOUND, 3> bounds{};
  UINT dims = 0;
  // Dimension d is given by its count (parameter 2 + 2d); its lower bound
  // defaults to 0. A dimension after an absent one is an error.
  for (unsigned d = 0; d < bounds.size(); ++d) {
    const unsigned lb_param = 1 + 2 * d;
    const unsigned n_param = 2 + 2 * d;
    if (call.arg(n_param) == nullptr) {
      if (call.arg(lb_param) != nullptr) return DISP_E_BADPARAMCOUNT;
      continue;
    }
    if (dims != d) return DISP_E_BADPARAMCOUNT;
    LONGLONG lb = 0;
    LONGLONG n = 0;
    hr = call.integer_arg(lb_param, 0, &lb);
    if (SUCCEEDED(hr)) hr = call.integer_arg(n_param, 0, &n);
    if (FAILED(hr)) return hr;
    // A lower bound or count that a SAFEARRAYBOUND cannot hold.
    if (n < 0 || n > 0xFFFFFFFFLL || lb < -0x80000000LL || lb > 0x7FFFFFFFLL) {
      return E_INVALIDARG;
    }
    bounds[d].lLbound = static_cast<LONG>(lb);
    bounds[d].cElements = static_cast<ULONG>(n);
    ++dims;
  }
  SAFEARRAY* array = nullptr;
  hr = make_array(static_cast<VARTYPE>(vt), bounds.data(), dims, &array);
  if (FAILED(hr)) return hr;
  call.result()->parray = array;
  call.result()->vt = static_cast<VARTYPE>(VT_ARRAY | vt);
  return S_OK;
}

HRESULT AutomationObject::make_safearray_variant(DispatchCall& call) {
  LONGLONG n = 0;
  HRESULT hr = call.integer_arg(0, 0, &n);
  if (FAILED(hr)) return hr;
  if (n < 0) return E_INVALIDARG;
  SAFEARRAYBOUND bound{static_cast<ULONG>(n), 0};
  SAFEARRAY* array = nullptr;
  hr = make_array(VT_I4, &bound, 1, &array);
  if (FAILED(hr)) return hr;
  call.result()->parray = array;
  call.result()->vt = VT_SAFEARRAY;
  return S_OK;
}

HRESULT AutomationObject::make_dispatch_array_member(DispatchCall& call) {
  return make_dispatch_array(call.result());
}

HRESULT AutomationObject::make_jagged_array_member(DispatchCall& call) {
  return make_jagged_array(call.result());
}

HRESULT AutomationObject::make_nested_array_member(DispatchCall& call) {
  LONGLONG depth = 0;
  const HRESULT hr = call.integer_arg(0, 0, &depth);
  if (FAILED(hr)) return hr;
  if (depth < 1 || depth > 0x7fffffff) return E_INVALIDARG;
  return make_nested_array(static_cast<LONG>(depth), call.result());
}

HRESULT AutomationObject::set_ref(DispatchCall& call) {
  VARIANT* ref = call.arg(0);
  VARIANT* value = call.arg(1);
  if ((ref->vt & VT_BYREF) == 0 || ref->byref == nullptr) return call.type_mismatch(ref);
  const VARTYPE target = static_cast<VARTYPE>(ref->vt & ~VT_BYREF);
  for (const RefTarget& entry : kRefTargets) {
    if (entry.vt == target) {
      const HRESULT hr = entry.write(ref->byref, *value);
      return hr == DISP_E_TYPEMISMATCH ? call.type_mismatch(value) : hr;
    }
  }
  return call.type_mismatch(ref);
}

HRESULT AutomationObject::fail(DispatchCall& call) {
  BSTR description = nullptr;
  LONGLONG code = 0;
  HRESULT hr = call.string_arg(0, &description);
  if (SUCCEEDED(hr)) hr = call.integer_arg(1, static_cast<LONG>(E_FAIL), &code);
  if (FAILED(hr)) return hr;
  EXCEPINFO* info = call.excep_info();
  if (info == nullptr) return DISP_E_EXCEPTION;
  clear_excep_info(info);
  if (code >= 1 && code <= 0xffff) {
    info->wCode = static_cast<WORD>(code);
  } else {
    info->scode = static_cast<SCODE>(code);
  }
  info->bstrSource = ascii_bstr(sample_values::kExceptionSource);
  info->bstrDescription = copy_bstr(description);
  return DISP_E_EXCEPTION;
}

HRESULT AutomationObject::fail_deferred(DispatchCall& call) {
  BSTR description = nullptr;
  const HRESULT hr = call.string_arg(0, &description);
  if (FAILED(hr)) return hr;
  EXCEPINFO* info = call.excep_info();
  if (info == nullptr) return DISP_E_EXCEPTION;
  clear_excep_info(info);
  info->bstrDescription = copy_bstr(description);
  info->pfnDeferredFillIn = deferred_fill_in;
  return DISP_E_EXCEPTION;
}

HRESULT AutomationObject::s_false(DispatchCall& call) {
  call.result()->vt = VT_I4;
  call.result()->lVal = 1;
  return S_FALSE;
}

HRESULT AutomationObject::crash(DispatchCall& /*call*/) {
  raise_access_violation();
  return S_OK;
}

HRESULT AutomationObject::last_call(DispatchCall& call) {
  std::string text;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text = last_call_;
  }
  return set_bstr_result(call.result(), ascii_bstr(text.c_str()));
}

HRESULT AutomationObject::ref_count(DispatchCall& call) {
  call.result()->vt = VT_I4;
  call.result()->lVal = static_cast<LONG>(refs());
  return S_OK;
}

HRESULT AutomationObject::new_enum(DispatchCall& call) {
  return set_bstr_result(call.result(), ascii_bstr("enum"));
}

namespace {

// The last element of a one-dimensional array of VARIANTs, or null.
const VARIANT* last_element(const VARIANT& v) {
  if ((v.vt & ~VT_BYREF) != (VT_ARRAY | VT_VARIANT)) return nullptr;
  SAFEARRAY* array =
      (v.vt & VT_BYREF) != 0 ? (v.pparray != nullptr ? *v.pparray : nullptr) : v.parray;
  LONG lb = 0;
  LONG ub = -1;
  if (array == nullptr || SafeArrayGetDim(array) != 1 ||
      FAILED(SafeArrayGetLBound(array, 1, &lb)) || FAILED(SafeArrayGetUBound(array, 1, &ub)) ||
      ub < lb) {
    return nullptr;
  }
  void* element = nullptr;
  if (FAILED(SafeArrayPtrOfIndex(array, &ub, &element))) return nullptr;
  return static_cast<const VARIANT*>(element);
}

}  // namespace

HRESULT AutomationObject::last(DispatchCall& call) {
  unsigned n = kMaxDispatchParams;
  while (n > 1 && call.arg(n - 1) == nullptr) --n;
  const VARIANT* value = call.arg(n - 1);
  while (const VARIANT* inner = last_element(*value)) value = inner;
  return copy_by_value(call.result(), *value);
}
