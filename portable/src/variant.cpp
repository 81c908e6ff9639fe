// VARIANT lifetime: init, clear, deep copy and dereferencing copy.
#include <cstring>

#include "oleport.h"
#include "vartype_table.h"

namespace {

// Copies what `src` (not by reference) owns into the raw variant `out`.
HRESULT copy_owned_value(VARIANT& out, const VARIANT& src) {
  out = src;
  const VARTYPE vt = src.vt;
  if ((vt & VT_ARRAY) != 0) {
    out.parray = nullptr;
    return SafeArrayCopy(src.parray, &out.parray);
  }
  switch (vt) {
    case VT_BSTR:
      // A null BSTR reads as an empty one, and its copy is a new empty BSTR
      // (as on Windows), so the copy never holds null.
      out.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src.bstrVal),
                                          SysStringByteLen(src.bstrVal));
      return out.bstrVal == nullptr ? E_OUTOFMEMORY : S_OK;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (src.punkVal != nullptr) src.punkVal->AddRef();
      return S_OK;
    case VT_RECORD:
      // Records need IRecordInfo, which this runtime keeps opaque.
      return E_NOTIMPL;
    default:
      return S_OK;
  }
}

// Builds in `out` the value a by-reference variant points at.
HRESULT dereference(VARIANT& out, const VARIANT& src) {
  const VARTYPE base = src.vt & static_cast<VARTYPE>(~VT_BYREF);
  if (base == VT_VARIANT) {
    const VARIANT* inner = src.pvarVal;
    if (inner == nullptr) return E_INVALIDARG;
    if (inner->vt == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
    if ((inner->vt & VT_BYREF) != 0) return dereference(out, *inner);
    if (!oleport::variant_type_is_copyable(inner->vt)) return DISP_E_BADVARTYPE;
    return copy_owned_value(out, *inner);
  }
  if (src.byref == nullptr) return E_INVALIDARG;
  VARIANT value;
  std::memset(&value, 0, sizeof value);
  if ((base & VT_ARRAY) != 0) {
    value.parray = *src.pparray;
  } else if (base == VT_DECIMAL) {
    value.decVal = *src.pdecVal;
  } else {
    const std::size_t bytes = oleport::value_size(base);
    if (bytes == 0) return E_NOTIMPL;
    std::memcpy(&value.llVal, src.byref, bytes);
  }
  value.vt = base;
  return copy_owned_value(out, value);
}

}  // namespace

void WINAPI VariantInit(VARIANTARG* pvarg) {
  pvarg->vt = VT_EMPTY;
}

HRESULT WINAPI VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  if (!oleport::variant_type_is_valid(pvarg->vt)) return DISP_E_BADVARTYPE;
  HRESULT hr = S_OK;
  const VARTYPE vt = pvarg->vt;
  if ((vt & VT_BYREF) == 0) {
    if ((vt & VT_ARRAY) != 0) {
      hr = SafeArrayDestroy(pvarg->parray);
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && pvarg->punkVal != nullptr) {
      pvarg->punkVal->Release();
    }
  }
  pvarg->vt = VT_EMPTY;
  return hr;
}

HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (!oleport::variant_type_is_copyable(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  if (pvargDest == pvargSrc) return S_OK;
  VARIANT copy;
  HRESULT hr;
  if ((pvargSrc->vt & VT_BYREF) != 0) {
    copy = *pvargSrc;
    hr = S_OK;
  } else {
    hr = copy_owned_value(copy, *pvargSrc);
  }
  if (FAILED(hr)) return hr;
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvargDest = copy;
  return S_OK;
}

HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (pvarDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if ((pvargSrc->vt & VT_BYREF) == 0) return VariantCopy(pvarDest, pvargSrc);
  if (!oleport::variant_type_is_copyable(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  VARIANT value;
  HRESULT hr = dereference(value, *pvargSrc);
  if (FAILED(hr)) return hr;
  hr = VariantClear(pvarDest);
  if (FAILED(hr)) {
    VariantClear(&value);
    return hr;
  }
  *pvarDest = value;
  return S_OK;
}
