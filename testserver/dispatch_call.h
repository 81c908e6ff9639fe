// IDispatch over a static table of members: name lookup for GetIDsOfNames and
// the argument handling of Invoke (positional arguments in reverse storage
// order, named arguments, the DISPID_PROPERTYPUT value, missing optional
// arguments, puArgErr and EXCEPINFO).
#pragma once

#include <array>
#include <cstddef>

#include "platform/com_platform.h"
#include "testserver/scoped_variant.h"

constexpr unsigned kMaxDispatchParams = 7;

// The arguments and results of one Invoke, checked against a member's
// parameter list.
class DispatchCall {
 public:
  DispatchCall(WORD flags, DISPPARAMS* params, EXCEPINFO* excep_info, UINT* arg_err)
      : flags_(flags), params_(params), excep_info_(excep_info), arg_err_(arg_err) {}
  DispatchCall(const DispatchCall&) = delete;
  DispatchCall& operator=(const DispatchCall&) = delete;

  // Places the arguments into parameter slots. param_count parameters of
  // which the first `required` must be present.
  HRESULT bind(unsigned param_count, unsigned required);

  WORD flags() const { return flags_; }
  bool is_put() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }

  // Parameter i, or nullptr when omitted.
  VARIANT* arg(unsigned i) const { return slots_[i]; }
  // The DISPID_PROPERTYPUT argument of a property put.
  VARIANT* put_value() const { return put_value_; }

  // Reads parameter i as an integer (default when omitted); records the
  // argument in puArgErr and returns DISP_E_TYPEMISMATCH when it is none.
  HRESULT integer_arg(unsigned i, LONGLONG fallback, LONGLONG* out);
  // Reads parameter i as a string (borrowed); DISP_E_TYPEMISMATCH otherwise.
  HRESULT string_arg(unsigned i, BSTR* out);
  // Records the argument in puArgErr and returns DISP_E_TYPEMISMATCH.
  HRESULT type_mismatch(const VARIANT* argument);

  VARIANT* result() { return result_.get(); }
  EXCEPINFO* excep_info() const { return excep_info_; }

  // Moves the result into the caller's VARIANT (if it passed one).
  void hand_over_result(VARIANT* dest);

 private:
  void set_arg_err(const VARIANT* argument);

  const WORD flags_;
  DISPPARAMS* const params_;
  EXCEPINFO* const excep_info_;
  UINT* const arg_err_;
  std::array<VARIANT*, kMaxDispatchParams> slots_{};
  VARIANT* put_value_ = nullptr;
  ScopedVariant result_;
};

// One entry of a member table. `kinds` are the DISPATCH_* flags the member
// answers; `params` the parameter names, as many as the member takes.
template <class Object>
struct DispatchMember {
  const char* name;
  DISPID dispid;
  WORD kinds;
  unsigned required;
  std::array<const char*, kMaxDispatchParams> params;
  HRESULT (Object::*handler)(DispatchCall& call);

  unsigned param_count() const {
    unsigned n = 0;
    while (n < params.size() && params[n] != nullptr) ++n;
    return n;
  }
};

// Case-insensitive (ASCII) comparison of a member or parameter name.
bool dispatch_name_matches(const char* name, const OLECHAR* candidate);

// GetIDsOfNames for one member: names[0] is the member, the rest its
// parameters (their positions). Unknown names get DISPID_UNKNOWN and make the
// result DISP_E_UNKNOWNNAME.
HRESULT dispatch_ids_of_names(const char* const* member_params, unsigned param_count,
                              DISPID member_id, bool member_found, OLECHAR** names, UINT count,
                              DISPID* ids);

template <class Object, size_t N>
const DispatchMember<Object>* find_dispatch_member(const DispatchMember<Object> (&table)[N],
                                                   DISPID id) {
  for (const DispatchMember<Object>& member : table) {
    if (member.dispid == id) return &member;
  }
  return nullptr;
}

template <class Object, size_t N>
HRESULT dispatch_get_ids_of_names(const DispatchMember<Object> (&table)[N], REFIID riid,
                                  OLECHAR** names, UINT count, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_INVALIDARG;
  if (count == 0) return S_OK;
  for (const DispatchMember<Object>& member : table) {
    if (names[0] != nullptr && dispatch_name_matches(member.name, names[0])) {
      return dispatch_ids_of_names(member.params.data(), member.param_count(), member.dispid, true,
                                   names, count, ids);
    }
  }
  return dispatch_ids_of_names(nullptr, 0, DISPID_UNKNOWN, false, names, count, ids);
}

// Invoke: finds the member, checks flags and arguments, runs the handler and
// hands its result over.
template <class Object, size_t N>
HRESULT dispatch_invoke(Object& object, const DispatchMember<Object> (&table)[N], DISPID id,
                        REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep_info, UINT* arg_err) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  const DispatchMember<Object>* member = find_dispatch_member(table, id);
  if (member == nullptr || (member->kinds & flags) == 0) return DISP_E_MEMBERNOTFOUND;
  DispatchCall call(flags, params, excep_info, arg_err);
  HRESULT hr = call.bind(member->param_count(), member->required);
  if (FAILED(hr)) return hr;
  hr = (object.*(member->handler))(call);
  if (SUCCEEDED(hr)) call.hand_over_result(result);
  return hr;
}
