// The values and arrays the Automation members build (documented with the
// member DISPIDs in sample_server.h).
#pragma once

#include "platform/com_platform.h"

// Referents of the by-reference samples; they live in the Automation object
// so that the references stay valid while the object does.
struct ByRefSamples {
  LONG i4;
  VARIANT variant;
};

// A BSTR of ASCII text; nullptr when out of memory.
BSTR ascii_bstr(const char* text);

// ReturnType(vt): writes the sample of type vt into out (empty on entry).
// DISP_E_BADVARTYPE for types without a sample.
HRESULT make_type_sample(VARTYPE vt, ByRefSamples& by_ref, VARIANT* out);

// ReturnString(which); E_INVALIDARG for which outside 0..kStrings-1.
HRESULT make_string_sample(LONG which, VARIANT* out);

// ReturnNullPointer(vt): VT_DISPATCH, VT_UNKNOWN or VT_BSTR holding null.
HRESULT make_null_pointer(VARTYPE vt, VARIANT* out);

// MakeArray: an array of vt with bounds[0] the first (fastest) dimension.
HRESULT make_array(VARTYPE vt, const SAFEARRAYBOUND* bounds, UINT dims, SAFEARRAY** out);

// MakeDispatchArray and MakeJaggedArray: VT_ARRAY|VT_VARIANT results.
HRESULT make_dispatch_array(VARIANT* out);
HRESULT make_jagged_array(VARIANT* out);

// MakeNestedArray(depth).
HRESULT make_nested_array(LONG depth, VARIANT* out);
