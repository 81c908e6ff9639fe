#include "testserver/variant_values.h"

#include <cmath>
#include <cstring>

namespace {

template <class T>
LONGLONG as_integer(const void* p) {
  return static_cast<LONGLONG>(*static_cast<const T*>(p));
}

struct IntegralType {
  VARTYPE vt;
  LONGLONG (*read)(const void* data);
};

// VT_UI8 above LLONG_MAX wraps; no member takes values that large.
constexpr IntegralType kIntegralTypes[] = {
    {VT_I1, as_integer<signed char>},    {VT_UI1, as_integer<unsigned char>},
    {VT_I2, as_integer<SHORT>},          {VT_UI2, as_integer<USHORT>},
    {VT_I4, as_integer<LONG>},           {VT_UI4, as_integer<ULONG>},
    {VT_INT, as_integer<INT>},           {VT_UINT, as_integer<UINT>},
    {VT_I8, as_integer<LONGLONG>},       {VT_UI8, as_integer<ULONGLONG>},
    {VT_BOOL, as_integer<VARIANT_BOOL>},
};

template <class T>
double as_double(const void* p) {
  return static_cast<double>(*static_cast<const T*>(p));
}

double cy_as_double(const void* p) {
  return static_cast<double>(static_cast<const CY*>(p)->int64) / 10000.0;
}

struct FloatingType {
  VARTYPE vt;
  double (*read)(const void* data);
};

constexpr FloatingType kFloatingTypes[] = {
    {VT_R4, as_double<float>},
    {VT_R8, as_double<double>},
    {VT_DATE, as_double<DATE>},
    {VT_CY, cy_as_double},
};

// Sizes of the referents that copy as plain bytes.
struct PlainType {
  VARTYPE vt;
  size_t size;
};

constexpr PlainType kPlainTypes[] = {
    {VT_I1, 1},  {VT_UI1, 1}, {VT_I2, 2},   {VT_UI2, 2}, {VT_BOOL, 2},  {VT_I4, 4},
    {VT_UI4, 4}, {VT_INT, 4}, {VT_UINT, 4}, {VT_R4, 4},  {VT_ERROR, 4}, {VT_I8, 8},
    {VT_UI8, 8}, {VT_R8, 8},  {VT_DATE, 8}, {VT_CY, 8},
};

VARTYPE base_type(const VARIANT& v) {
  return static_cast<VARTYPE>(v.vt & ~VT_BYREF);
}

}  // namespace

const void* variant_data(const VARIANT& v) {
  return (v.vt & VT_BYREF) != 0 ? v.byref : static_cast<const void*>(&v.llVal);
}

bool read_integer(const VARIANT& v, LONGLONG* out) {
  const VARTYPE vt = base_type(v);
  if ((v.vt & VT_BYREF) != 0 && v.byref == nullptr) return false;
  for (const IntegralType& type : kIntegralTypes) {
    if (type.vt == vt) {
      *out = type.read(variant_data(v));
      return true;
    }
  }
  double d = 0;
  if ((vt == VT_R4 || vt == VT_R8) && read_double(v, &d) && std::trunc(d) == d &&
      std::fabs(d) < 9.2e18) {
    *out = static_cast<LONGLONG>(d);
    return true;
  }
  return false;
}

bool read_double(const VARIANT& v, double* out) {
  const VARTYPE vt = base_type(v);
  if ((v.vt & VT_BYREF) != 0 && v.byref == nullptr) return false;
  for (const FloatingType& type : kFloatingTypes) {
    if (type.vt == vt) {
      *out = type.read(variant_data(v));
      return true;
    }
  }
  LONGLONG i = 0;
  if (vt != VT_R4 && vt != VT_R8 && read_integer(v, &i)) {
    *out = static_cast<double>(i);
    return true;
  }
  return false;
}

bool read_string(const VARIANT& v, BSTR* out) {
  if (v.vt == VT_BSTR) {
    *out = v.bstrVal;
    return true;
  }
  if (v.vt == (VT_BSTR | VT_BYREF) && v.pbstrVal != nullptr) {
    *out = *v.pbstrVal;
    return true;
  }
  return false;
}

HRESULT copy_by_value(VARIANT* dest, const VARIANT& src) {
  VariantInit(dest);
  if ((src.vt & VT_BYREF) == 0) return VariantCopy(dest, const_cast<VARIANT*>(&src));
  if (src.byref == nullptr) return E_INVALIDARG;
  const VARTYPE vt = base_type(src);
  if ((vt & VT_ARRAY) != 0) {
    SAFEARRAY* copy = nullptr;
    SAFEARRAY* source = *src.pparray;
    if (source != nullptr) {
      const HRESULT hr = SafeArrayCopy(source, &copy);
      if (FAILED(hr)) return hr;
    }
    dest->parray = copy;
    dest->vt = vt;
    return S_OK;
  }
  for (const PlainType& type : kPlainTypes) {
    if (type.vt == vt) {
      std::memcpy(&dest->llVal, src.byref, type.size);
      dest->vt = vt;
      return S_OK;
    }
  }
  switch (vt) {
    case VT_BSTR: {
      // A null referent stays a null BSTR: VariantInit leaves bstrVal as it was.
      const BSTR s = *src.pbstrVal;
      dest->bstrVal = nullptr;
      if (s != nullptr) {
        dest->bstrVal = SysAllocStringLen(s, SysStringLen(s));
        if (dest->bstrVal == nullptr) return E_OUTOFMEMORY;
      }
      dest->vt = VT_BSTR;
      return S_OK;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      IUnknown* object = *src.ppunkVal;
      if (object != nullptr) object->AddRef();
      dest->punkVal = object;
      dest->vt = vt;
      return S_OK;
    }
    case VT_DECIMAL:
      dest->decVal = *src.pdecVal;
      dest->vt = VT_DECIMAL;
      return S_OK;
    case VT_VARIANT:
      return copy_by_value(dest, *src.pvarVal);
    default:
      return DISP_E_BADVARTYPE;
  }
}
