#include "vartype_table.h"

#include <array>

namespace oleport {
namespace {

struct VartypeTraits {
  bool in_variant;          // a variant may hold it by value
  std::size_t array_bytes;  // safearray element size; 0 = no array
  std::size_t value_bytes;  // size of the value itself; 0 = not fixed
};

constexpr std::size_t kPtr = sizeof(void*);

// Indexed by base type VT_EMPTY..VT_UINT_PTR; higher types are handled apart.
constexpr std::array<VartypeTraits, VT_UINT_PTR + 1> kTraits = {{
    {true, 0, 0},                 // VT_EMPTY
    {true, 0, 0},                 // VT_NULL
    {true, 2, 2},                 // VT_I2
    {true, 4, 4},                 // VT_I4
    {true, 4, 4},                 // VT_R4
    {true, 8, 8},                 // VT_R8
    {true, 8, 8},                 // VT_CY
    {true, 8, 8},                 // VT_DATE
    {true, kPtr, kPtr},           // VT_BSTR
    {true, kPtr, kPtr},           // VT_DISPATCH
    {true, 4, 4},                 // VT_ERROR
    {true, 2, 2},                 // VT_BOOL
    {true, sizeof(VARIANT), 0},   // VT_VARIANT
    {true, kPtr, kPtr},           // VT_UNKNOWN
    {true, sizeof(DECIMAL), 16},  // VT_DECIMAL
    {false, 0, 0},                // 15 is unused
    {true, 1, 1},                 // VT_I1
    {true, 1, 1},                 // VT_UI1
    {true, 2, 2},                 // VT_UI2
    {true, 4, 4},                 // VT_UI4
    {true, 8, 8},                 // VT_I8
    {true, 8, 8},                 // VT_UI8
    {true, 4, 4},                 // VT_INT
    {true, 4, 4},                 // VT_UINT
    {false, 0, 0},                // VT_VOID
    {false, 0, 0},                // VT_HRESULT
    {false, 0, 0},                // VT_PTR
    {false, 0, 0},                // VT_SAFEARRAY
    {false, 0, 0},                // VT_CARRAY
    {false, 0, 0},                // VT_USERDEFINED
    {false, 0, 0},                // VT_LPSTR
    {false, 0, 0},                // VT_LPWSTR
    {false, 0, 0},                // 32
    {false, 0, 0},                // 33
    {false, 0, 0},                // 34
    {false, 0, 0},                // 35
    {true, 0, 0},                 // VT_RECORD (needs SafeArrayCreateEx for arrays)
    {false, kPtr, kPtr},          // VT_INT_PTR: arrays yes, variants no
    {false, kPtr, kPtr},          // VT_UINT_PTR
}};

}  // namespace

bool variant_type_is_valid(VARTYPE vt) {
  if ((vt & (VT_VECTOR | VT_RESERVED)) != 0) return false;
  const VARTYPE base = vt & VT_TYPEMASK;
  const bool flagged = (vt & (VT_BYREF | VT_ARRAY)) != 0;
  if (base == VT_CLSID) return true;
  if (base >= kTraits.size() || !kTraits[base].in_variant) return false;
  return !(flagged && base <= VT_NULL);
}

bool variant_type_is_copyable(VARTYPE vt) {
  return variant_type_is_valid(vt) && (vt & VT_TYPEMASK) != VT_CLSID;
}

std::size_t safearray_element_size(VARTYPE vt) {
  return vt < kTraits.size() ? kTraits[vt].array_bytes : 0;
}

std::size_t value_size(VARTYPE vt) {
  return vt < kTraits.size() ? kTraits[vt].value_bytes : 0;
}

}  // namespace oleport
