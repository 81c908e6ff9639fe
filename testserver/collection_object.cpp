// The collection sample class and its IEnumVARIANT enumerators. An
// enumerator holds its own copies of the values it walks (VariantCopy: one
// reference per interface value), so it outlives the collection that made it.
#include "testserver/collection_object.h"

#include <atomic>
#include <new>
#include <vector>

#include "testserver/dispatch_call.h"
#include "testserver/faulty_release.h"
#include "testserver/sample_object.h"
#include "testserver/sample_server.h"
#include "testserver/simple_object.h"

namespace {

std::atomic<long> g_live_enumerators{0};

// VariantCopy from a value this file only reads (MinGW declares the source
// without const).
HRESULT copy_variant(VARIANT* dest, const VARIANT& source) {
  return VariantCopy(dest, const_cast<VARIANT*>(&source));
}

// VARIANTs owned by value; copying copies them as VariantCopy does.
class Values {
 public:
  Values() = default;
  Values(const Values& other) : items_(other.items_.size()) {
    for (size_t i = 0; i < items_.size(); ++i) {
      VariantInit(&items_[i]);
      copy_variant(&items_[i], other.items_[i]);
    }
  }
  Values& operator=(const Values&) = delete;
  ~Values() {
    for (VARIANT& item : items_) VariantClear(&item);
  }

  // Appends an empty VARIANT and returns it for filling.
  VARIANT& add() {
    items_.emplace_back();
    VariantInit(&items_.back());
    return items_.back();
  }
  ULONG size() const { return static_cast<ULONG>(items_.size()); }
  const VARIANT& operator[](ULONG i) const { return items_[i]; }

 private:
  std::vector<VARIANT> items_;
};

void add_i4(Values& values, LONG value) {
  VARIANT& v = values.add();
  v.vt = VT_I4;
  v.lVal = value;
}
void add_bstr(Values& values, const OLECHAR* text) {
  VARIANT& v = values.add();
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
}
void add_counter(Values& values) {
  VARIANT& v = values.add();
  v.vt = VT_DISPATCH;
  v.pdispVal = new_counter();
}

// The collection's elements, in order (see sample_server.h).
Values collection_values() {
  Values values;
  add_i4(values, 42);
  add_bstr(values, OLESTR("two"));
  VARIANT& r8 = values.add();
  r8.vt = VT_R8;
  r8.dblVal = 2.5;
  VARIANT& flag = values.add();
  flag.vt = VT_BOOL;
  flag.boolVal = VARIANT_TRUE;
  add_counter(values);
  values.add();  // VT_EMPTY
  return values;
}

// A value Java cannot take (VT_CY) between ones it can.
Values unconvertible_values() {
  Values values;
  add_i4(values, 1);
  add_counter(values);
  VARIANT& cy = values.add();
  cy.vt = VT_CY;
  cy.cyVal.int64 = sample_values::kCyInt64;
  add_bstr(values, OLESTR("after"));
  add_counter(values);
  return values;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// Shared by the enumerators: IUnknown and IEnumVARIANT, the live count.
class EnumeratorBase : public IEnumVARIANT, protected SampleObject {
 public:
  explicit EnumeratorBase(Accounting accounting) : SampleObject(accounting) {
    ++g_live_enumerators;
  }
  ~EnumeratorBase() override { --g_live_enumerators; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumVARIANT)) {
      *out = static_cast<IEnumVARIANT*>(this);
      add_ref();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }
};

// Walks its copies of a set of values: S_FALSE for a short batch, Skip past
// the end S_FALSE (at the end), Reset S_OK, Clone at the same position.
class VariantEnumerator final : public EnumeratorBase {
 public:
  VariantEnumerator(const Values& values, ULONG position, Accounting accounting)
      : EnumeratorBase(accounting), values_(values), position_(position) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgelt, ULONG* fetched) override {
    if (rgelt == nullptr || (celt > 1 && fetched == nullptr)) return E_POINTER;
    ULONG count = 0;
    while (count < celt && position_ < values_.size()) {
      VariantInit(&rgelt[count]);
      copy_variant(&rgelt[count++], values_[position_++]);
    }
    if (fetched != nullptr) *fetched = count;
    return count == celt ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    const ULONG left = values_.size() - position_;
    position_ += celt < left ? celt : left;
    return celt <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    if (out == nullptr) return E_POINTER;
    auto* copy = new VariantEnumerator(values_, position_, Accounting::kCounted);
    copy->AddRef();
    *out = copy;
    return S_OK;
  }

 private:
  const Values values_;
  ULONG position_;
};

// An enumerator whose Next makes its elements anew each time: Skip and Reset
// S_OK without moving anything, Clone E_NOTIMPL.
class MakingEnumerator : public EnumeratorBase {
 public:
  explicit MakingEnumerator(Accounting accounting) : EnumeratorBase(accounting) {}

  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
};

// Stores min(celt, kHostileStored) new Counters but reports celt + 1 fetched.
class HostileVariantEnumerator final : public MakingEnumerator {
 public:
  explicit HostileVariantEnumerator(Accounting accounting) : MakingEnumerator(accounting) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgelt, ULONG* fetched) override {
    if (rgelt == nullptr || fetched == nullptr) return E_POINTER;
    for (ULONG i = 0; i < celt && i < sample_collection::kHostileStored; ++i) {
      rgelt[i].vt = VT_DISPATCH;
      rgelt[i].pdispVal = new_counter();
    }
    *fetched = celt + 1;
    return S_OK;
  }
};

// Next(celt) stores, from a fresh set each time, VT_I4 1, a VT_ARRAY |
// VT_VARIANT [VT_I4 7, VT_DISPATCH a new FaultyRelease] holding the object's
// only reference, and VT_BSTR "after" (as many as celt allows).
class FaultingVariantEnumerator final : public MakingEnumerator {
 public:
  explicit FaultingVariantEnumerator(Accounting accounting) : MakingEnumerator(accounting) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, VARIANT* rgelt, ULONG* fetched) override {
    if (rgelt == nullptr || (celt > 1 && fetched == nullptr)) return E_POINTER;
    ULONG count = 0;
    if (count < celt) {
      rgelt[count].vt = VT_I4;
      rgelt[count++].lVal = 1;
    }
    if (count < celt) {
      SAFEARRAY* array = faulting_array();
      if (array == nullptr) return E_OUTOFMEMORY;
      rgelt[count].vt = VT_ARRAY | VT_VARIANT;
      rgelt[count++].parray = array;
    }
    if (count < celt) {
      rgelt[count].vt = VT_BSTR;
      rgelt[count++].bstrVal = SysAllocString(OLESTR("after"));
    }
    if (fetched != nullptr) *fetched = count;
    return count == celt ? S_OK : S_FALSE;
  }

 private:
  // The object's reference is stored straight into the array's data:
  // SafeArrayPutElement would AddRef it, and giving our own reference back
  // would fault.
  static SAFEARRAY* faulting_array() {
    IDispatch* object = nullptr;
    if (FAILED(FaultyRelease::create(IID_IDispatch, reinterpret_cast<void**>(&object)))) {
      return nullptr;
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT* data = nullptr;
    if (array == nullptr || FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&data)))) {
      if (array != nullptr) SafeArrayDestroy(array);
      return nullptr;  // leaks the object: the sample cannot release it without a fault
    }
    data[0].vt = VT_I4;
    data[0].lVal = 7;
    data[1].vt = VT_DISPATCH;
    data[1].pdispVal = object;
    SafeArrayUnaccessData(array);
    return array;
  }
};

class Collection final : public IDispatch, private SampleObject {
 public:
  explicit Collection(Accounting accounting)
      : SampleObject(accounting), values_(collection_values()) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      add_ref();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep_info, UINT* arg_err) override;

  HRESULT count(DispatchCall& call) {
    call.result()->vt = VT_I4;
    call.result()->lVal = static_cast<LONG>(values_.size());
    return S_OK;
  }
  HRESULT item(DispatchCall& call) {
    LONGLONG index = 0;
    const HRESULT hr = call.integer_arg(0, 0, &index);
    if (FAILED(hr)) return hr;
    if (index < 0 || index >= values_.size()) return DISP_E_BADINDEX;
    return copy_variant(call.result(), values_[static_cast<ULONG>(index)]);
  }
  HRESULT enum_kind(DispatchCall& call) {
    if (call.is_put()) {
      VARIANT* value = call.put_value();
      if (value == nullptr) return DISP_E_PARAMNOTOPTIONAL;
      if (value->vt != VT_I4 || value->lVal < 0 || value->lVal > sample_collection::kFaultingEnum) {
        return call.type_mismatch(value);
      }
      enum_kind_ = value->lVal;
      return S_OK;
    }
    call.result()->vt = VT_I4;
    call.result()->lVal = enum_kind_;
    return S_OK;
  }
  HRESULT new_enum(DispatchCall& call) {
    switch (enum_kind_) {
      case sample_collection::kHostileEnum:
        return hand_out(call, new HostileVariantEnumerator(Accounting::kCounted));
      case sample_collection::kUnconvertibleEnum:
        return hand_out(call,
                        new VariantEnumerator(unconvertible_values(), 0, Accounting::kCounted));
      case sample_collection::kFaultingEnum:
        return hand_out(call, new FaultingVariantEnumerator(Accounting::kCounted));
      default:
        return hand_out(call, new VariantEnumerator(values_, 0, Accounting::kCounted));
    }
  }

 private:
  static HRESULT hand_out(DispatchCall& call, EnumeratorBase* enumerator) {
    enumerator->AddRef();
    call.result()->vt = VT_UNKNOWN;
    call.result()->punkVal = enumerator;
    return S_OK;
  }

  const Values values_;
  LONG enum_kind_ = sample_collection::kElementsEnum;
};
#pragma GCC diagnostic pop

constexpr WORD kGetOrCall = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

const DispatchMember<Collection> kMembers[] = {
    {"Count", sample_collection::kCount, DISPATCH_PROPERTYGET, 0, {}, &Collection::count},
    {"Item", sample_collection::kItem, kGetOrCall, 1, {"index"}, &Collection::item},
    {"_NewEnum", sample_collection::kNewEnum, kGetOrCall, 0, {}, &Collection::new_enum},
    {"EnumKind",
     sample_collection::kEnumKind,
     DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT,
     0,
     {},
     &Collection::enum_kind},
};

HRESULT Collection::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return dispatch_get_ids_of_names(kMembers, riid, names, count, ids);
}

HRESULT Collection::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excep_info, UINT* arg_err) {
  return dispatch_invoke(*this, kMembers, id, riid, flags, params, result, excep_info, arg_err);
}

}  // namespace

namespace sample_collection_objects {

HRESULT create_collection(REFIID riid, void** out) {
  return create_sample_object<Collection>(riid, out);
}

long live_enumerators() {
  return g_live_enumerators.load();
}

}  // namespace sample_collection_objects

long sample_server_live_variant_enumerators() {
  return sample_collection_objects::live_enumerators();
}
