#include "testserver/dispatch_call.h"

#include "testserver/variant_values.h"

namespace {

bool is_missing(const VARIANT& v) {
  return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

char ascii_lower(char16_t c) {
  return static_cast<char>(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c);
}

}  // namespace

bool dispatch_name_matches(const char* name, const OLECHAR* candidate) {
  for (; *name != '\0'; ++name, ++candidate) {
    const char16_t c = static_cast<char16_t>(*candidate);
    if (c == 0 || c > 0x7f || ascii_lower(c) != ascii_lower(static_cast<char16_t>(*name))) {
      return false;
    }
  }
  return *candidate == 0;
}

HRESULT dispatch_ids_of_names(const char* const* member_params, unsigned param_count,
                              DISPID member_id, bool member_found, OLECHAR** names, UINT count,
                              DISPID* ids) {
  HRESULT hr = member_found ? S_OK : DISP_E_UNKNOWNNAME;
  ids[0] = member_id;
  for (UINT n = 1; n < count; ++n) {
    ids[n] = DISPID_UNKNOWN;
    for (unsigned p = 0; member_found && names[n] != nullptr && p < param_count; ++p) {
      if (dispatch_name_matches(member_params[p], names[n])) ids[n] = static_cast<DISPID>(p);
    }
    if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT DispatchCall::bind(unsigned param_count, unsigned required) {
  const UINT args = params_->cArgs;
  const UINT named = params_->cNamedArgs;
  if (named > args || (args != 0 && params_->rgvarg == nullptr) ||
      (named != 0 && params_->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }
  for (UINT i = 0; i < named; ++i) {
    const DISPID id = params_->rgdispidNamedArgs[i];
    VARIANT* argument = &params_->rgvarg[i];
    if (id == DISPID_PROPERTYPUT && is_put() && put_value_ == nullptr) {
      put_value_ = argument;
    } else if (id >= 0 && static_cast<unsigned>(id) < param_count && slots_[id] == nullptr) {
      slots_[id] = argument;
    } else {
      set_arg_err(argument);
      return DISP_E_PARAMNOTFOUND;
    }
  }
  if (is_put() && put_value_ == nullptr) return DISP_E_PARAMNOTOPTIONAL;
  const UINT positional = args - named;
  if (positional > param_count) return DISP_E_BADPARAMCOUNT;
  // Positional arguments are stored last to first: parameter 0 is rgvarg[cArgs-1].
  for (UINT p = 0; p < positional; ++p) {
    if (slots_[p] != nullptr) return DISP_E_BADPARAMCOUNT;
    slots_[p] = &params_->rgvarg[args - 1 - p];
  }
  for (unsigned p = 0; p < required; ++p) {
    if (slots_[p] == nullptr) return DISP_E_BADPARAMCOUNT;
  }
  for (unsigned p = 0; p < param_count; ++p) {
    if (slots_[p] != nullptr && is_missing(*slots_[p])) {
      if (p < required) return DISP_E_PARAMNOTOPTIONAL;
      slots_[p] = nullptr;
    }
  }
  return S_OK;
}

HRESULT DispatchCall::integer_arg(unsigned i, LONGLONG fallback, LONGLONG* out) {
  if (slots_[i] == nullptr) {
    *out = fallback;
    return S_OK;
  }
  return read_integer(*slots_[i], out) ? S_OK : type_mismatch(slots_[i]);
}

HRESULT DispatchCall::string_arg(unsigned i, BSTR* out) {
  if (slots_[i] == nullptr) {
    *out = nullptr;
    return S_OK;
  }
  return read_string(*slots_[i], out) ? S_OK : type_mismatch(slots_[i]);
}

HRESULT DispatchCall::type_mismatch(const VARIANT* argument) {
  set_arg_err(argument);
  return DISP_E_TYPEMISMATCH;
}

void DispatchCall::set_arg_err(const VARIANT* argument) {
  if (arg_err_ != nullptr && argument != nullptr) {
    *arg_err_ = static_cast<UINT>(argument - params_->rgvarg);
  }
}

void DispatchCall::hand_over_result(VARIANT* dest) {
  // Like the platform's servers, the caller's VARIANT is overwritten, not
  // cleared: callers pass it initialised and empty.
  if (dest != nullptr) {
    result_.hand_over(dest);
  } else if (result_.get()->vt == VT_SAFEARRAY) {
    // VariantClear refuses this type; free the array it carries here.
    SafeArrayDestroy(result_.get()->parray);
    VariantInit(result_.get());
  }
}
