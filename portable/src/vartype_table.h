// What each VARTYPE may be used for: in a variant, by reference, as a
// safearray element, and how many bytes its value takes.
#pragma once

#include <cstddef>

#include "oleport.h"

namespace oleport {

// True when a variant may carry `vt` (flags included) - the check
// VariantClear makes before touching a variant.
bool variant_type_is_valid(VARTYPE vt);
// Stricter check of VariantCopy's source: VT_CLSID cannot be copied either.
bool variant_type_is_copyable(VARTYPE vt);
// Bytes of one safearray element of base type `vt`; 0 when Windows creates no
// array of that type.
std::size_t safearray_element_size(VARTYPE vt);
// Bytes of the value a by-reference variant of base type `vt` points at;
// 0 when there is no fixed-size value.
std::size_t value_size(VARTYPE vt);

}  // namespace oleport
