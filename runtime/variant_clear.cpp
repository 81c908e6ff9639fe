#include "runtime/variant_clear.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "runtime/foreign_calls.h"

namespace {

// Nested arrays still to destroy: a small inline stack that grows on the heap.
class PendingArrays {
 public:
  PendingArrays() = default;
  ~PendingArrays() {
    if (items_ != inline_) std::free(items_);
  }
  PendingArrays(const PendingArrays&) = delete;
  PendingArrays& operator=(const PendingArrays&) = delete;

  // False when the list cannot grow.
  bool push(SAFEARRAY* psa) {
    if (count_ == capacity_ && !grow()) return false;
    items_[count_++] = psa;
    return true;
  }
  SAFEARRAY* pop() { return count_ == 0 ? nullptr : items_[--count_]; }

 private:
  bool grow() {
    if (capacity_ > std::numeric_limits<std::size_t>::max() / 2 / sizeof(SAFEARRAY*)) return false;
    const std::size_t capacity = capacity_ * 2;
    auto* grown = static_cast<SAFEARRAY**>(std::malloc(capacity * sizeof(SAFEARRAY*)));
    if (grown == nullptr) return false;
    std::memcpy(grown, items_, count_ * sizeof(SAFEARRAY*));
    if (items_ != inline_) std::free(items_);
    items_ = grown;
    capacity_ = capacity;
    return true;
  }

  static constexpr std::size_t kInline = 16;
  SAFEARRAY* inline_[kInline];
  SAFEARRAY** items_ = inline_;
  std::size_t count_ = 0;
  std::size_t capacity_ = kInline;
};

bool is_interface(const VARIANT& v) {
  return v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN;
}

// An array payload VariantClear would destroy: not by reference, and a type
// the platform accepts (checked by clearing a copy that holds no array).
bool owns_array(const VARIANT& v) {
  if ((v.vt & VT_BYREF) != 0 || (v.vt & VT_ARRAY) == 0) return false;
  VARIANT probe;
  VariantInit(&probe);
  probe.vt = v.vt;
  probe.parray = nullptr;
  return SUCCEEDED(VariantClear(&probe));
}

// A record's IRecordInfo is foreign code.
bool clear_record(VARIANT* v) {
  const bool returned = ov_av_guarded([v] { VariantClear(v); });
  if (!returned) v->vt = VT_EMPTY;  // what the record held is given up
  return returned;
}

bool element_count(const SAFEARRAY* psa, std::size_t* count) {
  *count = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const std::size_t n = psa->rgsabound[d].cElements;
    if (n != 0 && *count > std::numeric_limits<std::size_t>::max() / n) return false;
    *count *= n;
  }
  return true;
}

// Releases what psa's elements own that SafeArrayDestroy would hand to
// foreign code, and moves the arrays of VARIANT elements to pending. The
// array is unlocked and about to be destroyed, so its data is read directly.
bool release_foreign_elements(SAFEARRAY* psa, PendingArrays& pending) {
  std::size_t count = 0;
  if (psa->pvData == nullptr || !element_count(psa, &count) || count == 0) return true;
  if ((psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) != 0) {
    auto* items = static_cast<IUnknown**>(psa->pvData);
    return ov_guarded_release_each(
        count, [items](std::size_t i) { return std::exchange(items[i], nullptr); });
  }
  if ((psa->fFeatures & FADF_VARIANT) == 0) return true;
  auto* items = static_cast<VARIANT*>(psa->pvData);
  bool clean = true;
  for (std::size_t i = 0; i < count; ++i) {
    VARIANT& element = items[i];
    if (owns_array(element)) {
      // Without room in the list the nested array is given up rather than
      // destroyed by recursion.
      pending.push(element.parray);
      element.vt = VT_EMPTY;
    } else if (element.vt == VT_RECORD) {
      clean = clear_record(&element) && clean;
    }
  }
  const bool released = ov_guarded_release_each(count, [items](std::size_t i) -> IUnknown* {
    VARIANT& element = items[i];
    if (!is_interface(element)) return nullptr;
    element.vt = VT_EMPTY;
    return element.punkVal;
  });
  return released && clean;
}

}  // namespace

bool ov_safearray_destroy_guarded(SAFEARRAY* root) {
  PendingArrays pending;
  bool clean = true;
  for (SAFEARRAY* psa = root; psa != nullptr; psa = pending.pop()) {
    if (psa->cLocks != 0) continue;
    clean = release_foreign_elements(psa, pending) && clean;
    if ((psa->fFeatures & FADF_RECORD) != 0) {
      clean = ov_av_guarded([psa] { SafeArrayDestroy(psa); }) && clean;
    } else {
      SafeArrayDestroy(psa);
    }
  }
  return clean;
}

bool ov_variant_clear_guarded(VARIANT* variant) {
  if (variant == nullptr) return true;
  if (is_interface(*variant)) {
    IUnknown* object = variant->punkVal;
    variant->vt = VT_EMPTY;
    return object == nullptr || ov_guarded_release(object);
  }
  if (variant->vt == VT_RECORD) return clear_record(variant);
  if (owns_array(*variant)) {
    SAFEARRAY* psa = variant->parray;
    variant->vt = VT_EMPTY;
    return ov_safearray_destroy_guarded(psa);
  }
  VariantClear(variant);
  return true;
}
