#include "testserver/automation_samples.h"

#include <array>
#include <cstring>
#include <string>

#include "testserver/sample_server.h"
#include "testserver/scoped_variant.h"
#include "testserver/simple_object.h"

namespace {

// Writes a value of type T into the VARIANT's value field and sets vt.
template <class T>
HRESULT store(VARIANT* v, VARTYPE vt, T value) {
  std::memcpy(&v->llVal, &value, sizeof(T));
  v->vt = vt;
  return S_OK;
}

HRESULT store_decimal(VARIANT* v, ULONG digits, BYTE scale) {
  DECIMAL d{};
  d.scale = scale;
  d.Lo32 = digits;
  v->decVal = d;
  v->vt = VT_DECIMAL;  // After decVal: its first field shares vt's storage.
  return S_OK;
}

HRESULT store_interface(VARIANT* v, VARTYPE vt) {
  IDispatch* counter = new_counter();
  v->pdispVal = counter;  // IDispatch is-an IUnknown at the same address.
  v->vt = vt;
  return S_OK;
}

HRESULT store_ascii(VARIANT* v, const char* text) {
  BSTR s = ascii_bstr(text);
  if (s == nullptr) return E_OUTOFMEMORY;
  v->bstrVal = s;
  v->vt = VT_BSTR;
  return S_OK;
}

using TypeFill = HRESULT (*)(ByRefSamples& by_ref, VARIANT* out);

struct TypeSample {
  VARTYPE vt;
  TypeFill fill;
};

namespace sv = sample_values;

const TypeSample kTypeSamples[] = {
    {VT_EMPTY, [](ByRefSamples&, VARIANT*) { return S_OK; }},
    {VT_NULL, [](ByRefSamples&, VARIANT* v) { return store<LONGLONG>(v, VT_NULL, 0); }},
    {VT_I2, [](ByRefSamples&, VARIANT* v) { return store(v, VT_I2, sv::kI2); }},
    {VT_I4, [](ByRefSamples&, VARIANT* v) { return store(v, VT_I4, sv::kI4); }},
    {VT_R4, [](ByRefSamples&, VARIANT* v) { return store(v, VT_R4, sv::kR4); }},
    {VT_R8, [](ByRefSamples&, VARIANT* v) { return store(v, VT_R8, sv::kR8); }},
    {VT_DATE, [](ByRefSamples&, VARIANT* v) { return store(v, VT_DATE, sv::kDate); }},
    {VT_BSTR, [](ByRefSamples&, VARIANT* v) { return store_ascii(v, sv::kBstr); }},
    {VT_DISPATCH, [](ByRefSamples&, VARIANT* v) { return store_interface(v, VT_DISPATCH); }},
    {VT_ERROR, [](ByRefSamples&, VARIANT* v) { return store(v, VT_ERROR, sv::kError); }},
    {VT_BOOL, [](ByRefSamples&, VARIANT* v) { return store(v, VT_BOOL, sv::kBool); }},
    {VT_UNKNOWN, [](ByRefSamples&, VARIANT* v) { return store_interface(v, VT_UNKNOWN); }},
    {VT_I1, [](ByRefSamples&, VARIANT* v) { return store(v, VT_I1, sv::kI1); }},
    {VT_UI1, [](ByRefSamples&, VARIANT* v) { return store(v, VT_UI1, sv::kUI1); }},
    {VT_UI2, [](ByRefSamples&, VARIANT* v) { return store(v, VT_UI2, sv::kUI2); }},
    {VT_UI4, [](ByRefSamples&, VARIANT* v) { return store(v, VT_UI4, sv::kUI4); }},
    {VT_I8, [](ByRefSamples&, VARIANT* v) { return store(v, VT_I8, sv::kI8); }},
    {VT_INT, [](ByRefSamples&, VARIANT* v) { return store(v, VT_INT, sv::kInt); }},
    {VT_UINT, [](ByRefSamples&, VARIANT* v) { return store(v, VT_UINT, sv::kUInt); }},
    // Types a bridge is expected to refuse.
    {VT_CY, [](ByRefSamples&, VARIANT* v) { return store(v, VT_CY, sv::kCyInt64); }},
    {VT_DECIMAL, [](ByRefSamples&, VARIANT* v) { return store_decimal(v, 15, 1); }},
    {VT_UI8, [](ByRefSamples&, VARIANT* v) { return store(v, VT_UI8, sv::kUI8); }},
    {VT_I4 | VT_BYREF,
     [](ByRefSamples& r, VARIANT* v) {
       v->plVal = &r.i4;
       v->vt = VT_I4 | VT_BYREF;
       return S_OK;
     }},
    {VT_VARIANT | VT_BYREF,
     [](ByRefSamples& r, VARIANT* v) {
       v->pvarVal = &r.variant;
       v->vt = VT_VARIANT | VT_BYREF;
       return S_OK;
     }},
};

using ElementFill = HRESULT (*)(LONG k, VARIANT* out);

constexpr LONGLONG kLongMax = 0x7FFFFFFF;

struct ElementSample {
  VARTYPE vt;
  ElementFill fill;
};

template <VARTYPE kVt, class T>
HRESULT number_element(LONG k, VARIANT* v) {
  return store<T>(v, kVt, static_cast<T>(k + 1));
}

HRESULT string_element(LONG k, VARIANT* v) {
  return store_ascii(v, ("s" + std::to_string(k)).c_str());
}

const ElementSample kElementSamples[] = {
    {VT_I1, number_element<VT_I1, signed char>},
    {VT_UI1, number_element<VT_UI1, unsigned char>},
    {VT_I2, number_element<VT_I2, SHORT>},
    {VT_UI2, number_element<VT_UI2, USHORT>},
    {VT_I4, number_element<VT_I4, LONG>},
    {VT_UI4, number_element<VT_UI4, ULONG>},
    {VT_INT, number_element<VT_INT, INT>},
    {VT_UINT, number_element<VT_UINT, UINT>},
    {VT_I8, number_element<VT_I8, LONGLONG>},
    {VT_UI8, number_element<VT_UI8, ULONGLONG>},
    {VT_R4, number_element<VT_R4, float>},
    {VT_R8, number_element<VT_R8, double>},
    {VT_DATE, number_element<VT_DATE, DATE>},
    {VT_CY, [](LONG k, VARIANT* v) { return store<LONGLONG>(v, VT_CY, (k + 1) * 10000LL); }},
    {VT_DECIMAL, [](LONG k, VARIANT* v) { return store_decimal(v, static_cast<ULONG>(k + 1), 0); }},
    {VT_BOOL,
     [](LONG k, VARIANT* v) {
       return store<VARIANT_BOOL>(v, VT_BOOL, k % 2 == 0 ? VARIANT_TRUE : VARIANT_FALSE);
     }},
    {VT_ERROR,
     [](LONG k, VARIANT* v) {
       return store<SCODE>(v, VT_ERROR, static_cast<SCODE>(0x80040000u + static_cast<ULONG>(k))),
              S_OK;
     }},
    {VT_BSTR, string_element},
    // VT_VARIANT arrays hold VT_I4 k+1.
    {VT_VARIANT, number_element<VT_I4, LONG>},
    {VT_DISPATCH, [](LONG, VARIANT* v) { return store_interface(v, VT_DISPATCH); }},
    {VT_UNKNOWN, [](LONG, VARIANT* v) { return store_interface(v, VT_UNKNOWN); }},
};

// What SafeArrayPutElement takes for an element held in a VARIANT of the
// element's type: the string or interface pointer itself, the VARIANT for
// VARIANT arrays, a pointer to the value otherwise.
void* put_element_source(VARTYPE array_vt, VARIANT* v) {
  switch (array_vt) {
    case VT_BSTR:
      return v->bstrVal;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return v->punkVal;
    case VT_VARIANT:
      return v;
    case VT_DECIMAL:
      return &v->decVal;
    default:
      return &v->llVal;
  }
}

HRESULT put_variant(SAFEARRAY* array, LONG index, VARIANT* element) {
  return SafeArrayPutElement(array, &index, element);
}

// A 1-D VT_ARRAY|VT_VARIANT of the given elements, handed over in out.
template <size_t N>
HRESULT variant_vector(std::array<ScopedVariant, N>& elements, VARIANT* out) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(N), 0};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
  if (array == nullptr) return E_OUTOFMEMORY;
  for (size_t i = 0; i < N; ++i) {
    const HRESULT hr = put_variant(array, static_cast<LONG>(i), elements[i].get());
    if (FAILED(hr)) {
      SafeArrayDestroy(array);
      return hr;
    }
  }
  out->parray = array;
  out->vt = VT_ARRAY | VT_VARIANT;
  return S_OK;
}

}  // namespace

BSTR ascii_bstr(const char* text) {
  const size_t length = std::strlen(text);
  BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (s == nullptr) return nullptr;
  for (size_t i = 0; i < length; ++i) s[i] = static_cast<OLECHAR>(text[i]);
  return s;
}

HRESULT make_type_sample(VARTYPE vt, ByRefSamples& by_ref, VARIANT* out) {
  for (const TypeSample& sample : kTypeSamples) {
    if (sample.vt == vt) return sample.fill(by_ref, out);
  }
  return DISP_E_BADVARTYPE;
}

HRESULT make_string_sample(LONG which, VARIANT* out) {
  static const OLECHAR kEmbeddedZero[] = {u'a', 0, u'b'};
  static const OLECHAR kNonAscii[] = {0x00e4, 0x00f6, 0x00fc, 0x20ac, 0xd834, 0xdd1e};
  struct StringSample {
    const OLECHAR* text;
    UINT length;
  };
  static const StringSample kSamples[sample_values::kStrings] = {
      {OLESTR(""), 0}, {nullptr, 0}, {kEmbeddedZero, 3}, {kNonAscii, 6}};
  if (which < 0 || which >= sample_values::kStrings) return E_INVALIDARG;
  const StringSample& sample = kSamples[which];
  BSTR s = nullptr;
  if (sample.text != nullptr) {
    s = SysAllocStringLen(sample.text, sample.length);
    if (s == nullptr) return E_OUTOFMEMORY;
  }
  out->bstrVal = s;
  out->vt = VT_BSTR;
  return S_OK;
}

HRESULT make_null_pointer(VARTYPE vt, VARIANT* out) {
  if (vt != VT_DISPATCH && vt != VT_UNKNOWN && vt != VT_BSTR) return DISP_E_BADVARTYPE;
  out->punkVal = nullptr;
  out->vt = vt;
  return S_OK;
}

HRESULT make_array(VARTYPE vt, const SAFEARRAYBOUND* bounds, UINT dims, SAFEARRAY** out) {
  *out = nullptr;
  const ElementSample* sample = nullptr;
  for (const ElementSample& candidate : kElementSamples) {
    if (candidate.vt == vt) sample = &candidate;
  }
  if (sample == nullptr || dims == 0 || dims > 3) return DISP_E_BADVARTYPE;
  std::array<SAFEARRAYBOUND, 3> shape{};
  // Every index must be a LONG and so must the element count: the arithmetic
  // is 64-bit, and bounds past that are refused.
  LONGLONG total = 1;
  for (UINT d = 0; d < dims; ++d) {
    shape[d] = bounds[d];
    const LONGLONG n = bounds[d].cElements;
    if (n > 0 && bounds[d].lLbound + (n - 1) > kLongMax) return E_INVALIDARG;
    if (total != 0) total = n <= kLongMax / total ? total * n : -1;
  }
  for (UINT d = 0; d < dims; ++d) {
    if (shape[d].cElements == 0) total = 0;
  }
  if (total < 0) return E_INVALIDARG;
  SAFEARRAY* array = SafeArrayCreate(vt, dims, shape.data());
  if (array == nullptr) return E_OUTOFMEMORY;
  for (LONGLONG k = 0; k < total; ++k) {
    // indices[0] is the first dimension, which varies fastest.
    std::array<LONG, 3> indices{};
    LONGLONG rest = k;
    for (UINT d = 0; d < dims; ++d) {
      const LONGLONG n = shape[d].cElements;
      indices[d] = static_cast<LONG>(shape[d].lLbound + rest % n);
      rest /= n;
    }
    ScopedVariant element;
    HRESULT hr = sample->fill(static_cast<LONG>(k), element.get());
    if (SUCCEEDED(hr)) {
      hr = SafeArrayPutElement(array, indices.data(), put_element_source(vt, element.get()));
    }
    if (FAILED(hr)) {
      SafeArrayDestroy(array);
      return hr;
    }
  }
  *out = array;
  return S_OK;
}

HRESULT make_dispatch_array(VARIANT* out) {
  std::array<ScopedVariant, 3> elements;
  store<LONG>(elements[0].get(), VT_I4, 1);
  store_interface(elements[1].get(), VT_DISPATCH);
  const HRESULT hr = store_ascii(elements[2].get(), "s2");
  if (FAILED(hr)) return hr;
  return variant_vector(elements, out);
}

HRESULT make_jagged_array(VARIANT* out) {
  std::array<ScopedVariant, 3> elements;
  for (size_t i = 0; i < elements.size(); ++i) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(i + 1), 0};
    SAFEARRAY* row = nullptr;
    const HRESULT hr = make_array(VT_I4, &bound, 1, &row);
    if (FAILED(hr)) return hr;
    elements[i].get()->parray = row;
    elements[i].get()->vt = VT_ARRAY | VT_I4;
  }
  return variant_vector(elements, out);
}

HRESULT make_nested_array(LONG depth, VARIANT* out) {
  if (depth < 1) return E_INVALIDARG;
  VARIANT inner;
  VariantInit(&inner);
  inner.lVal = depth;
  inner.vt = VT_I4;
  for (LONG level = 0; level < depth; ++level) {
    SAFEARRAYBOUND bound{1, 0};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    void* data = nullptr;
    if (array == nullptr || FAILED(SafeArrayAccessData(array, &data))) {
      SafeArrayDestroy(array);
      VariantClear(&inner);
      return E_OUTOFMEMORY;
    }
    *static_cast<VARIANT*>(data) = inner;  // moved: the new level owns it now
    SafeArrayUnaccessData(array);
    inner.parray = array;
    inner.vt = VT_ARRAY | VT_VARIANT;
  }
  *out = inner;
  return S_OK;
}
