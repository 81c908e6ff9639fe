// Reading argument values out of VARIANTs, by value or by reference, and
// copying a VARIANT with its reference resolved. The server reads arguments
// itself rather than through VariantChangeType so that it relies only on the
// VARIANT layout.
#pragma once

#include "platform/com_platform.h"

// The referent of a VT_BYREF VARIANT, or the value field of any other.
const void* variant_data(const VARIANT& v);

// Integral types, VT_BOOL and whole VT_R4/VT_R8 values, by value or by
// reference. False for anything else.
bool read_integer(const VARIANT& v, LONGLONG* out);

// Any numeric type (integral, VT_BOOL, VT_R4, VT_R8, VT_DATE, VT_CY), by value or
// by reference. False for anything else.
bool read_double(const VARIANT& v, double* out);

// VT_BSTR by value or by reference; *out borrows the argument's string.
bool read_string(const VARIANT& v, BSTR* out);

// A deep copy of src into dest (which must be empty): VariantCopy for values;
// for a VT_BYREF src a by-value VARIANT of the referent (strings duplicated,
// interfaces AddRef'd, arrays copied, VT_VARIANT referents copied in turn).
HRESULT copy_by_value(VARIANT* dest, const VARIANT& src);
