#include "marshal/safearray_to_java.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "marshal/java_to_variant.h"
#include "marshal/variant_to_java.h"
#include "runtime/class_cache.h"
#include "runtime/com_refs.h"
#include "runtime/errors.h"
#include "runtime/foreign_calls.h"
#include "runtime/jni_refs.h"
#include "runtime/wrappers.h"

namespace {

// Elements [lb, ub] of the row's dimension; index k of indices walks them.
struct RowSpan {
  LONG lb;
  LONG ub;
  jsize count() const {
    return ub < lb ? 0 : static_cast<jsize>(std::int64_t{ub} - std::int64_t{lb} + 1);
  }
};

// element_levels: the Java array levels around an element of the row.
using RowBuilder = jobject (*)(JNIEnv* env, jobject receiver, const VARIANT* variant, LONG* indices,
                               UINT k, RowSpan span, int element_levels);

// A number row: each element read with SafeArrayGetElement into a local of
// its own width and stored with a one-element region store. A failed read
// gives null without an exception.
template <class Element, class ArrayT, class J, ArrayT (JNIEnv::*new_array)(jsize),
          void (JNIEnv::*store)(ArrayT, jsize, jsize, const J*)>
jobject number_row(JNIEnv* env, jobject, const VARIANT* variant, LONG* indices, UINT k,
                   RowSpan span, int) {
  OvLocalRef<ArrayT> row(env, (env->*new_array)(span.count()));
  if (!row) return nullptr;
  for (std::int64_t i = span.lb; i <= span.ub; ++i) {
    indices[k] = static_cast<LONG>(i);
    Element element{};
    if (FAILED(SafeArrayGetElement(variant->parray, indices, &element))) return nullptr;
    const auto value = static_cast<J>(element);
    (env->*store)(row.get(), static_cast<jsize>(i - span.lb), 1, &value);
  }
  return row.release();
}

jobject string_row(JNIEnv* env, jobject, const VARIANT* variant, LONG* indices, UINT k,
                   RowSpan span, int) {
  OvLocalRef<jobjectArray> row(env, env->NewObjectArray(span.count(), ov_cache.string, nullptr));
  if (!row) return nullptr;
  static const jchar kNoChars[1] = {0};
  for (std::int64_t i = span.lb; i <= span.ub; ++i) {
    indices[k] = static_cast<LONG>(i);
    BSTR copy = nullptr;
    if (FAILED(SafeArrayGetElement(variant->parray, indices, &copy))) return nullptr;
    OvBstr owned(copy);
    const jchar* chars = copy != nullptr ? reinterpret_cast<const jchar*>(copy) : kNoChars;
    OvLocalRef<jstring> text(env, env->NewString(chars, static_cast<jsize>(SysStringLen(copy))));
    if (!text) return nullptr;
    env->SetObjectArrayElement(row.get(), static_cast<jsize>(i - span.lb), text.get());
  }
  return row.release();
}

// The array locked for the time its elements are looked at in place.
class ArrayLock {
 public:
  explicit ArrayLock(SAFEARRAY* psa) : psa_(psa), hr_(SafeArrayLock(psa)) {}
  ~ArrayLock() {
    if (SUCCEEDED(hr_)) SafeArrayUnlock(psa_);
  }
  ArrayLock(const ArrayLock&) = delete;
  ArrayLock& operator=(const ArrayLock&) = delete;

  bool ok() const { return SUCCEEDED(hr_); }

 private:
  SAFEARRAY* psa_;
  HRESULT hr_;
};

// Whether the platform would copy the element out (SafeArrayGetElement): it
// refuses the types a VARIANT cannot hold. Asked of a copy whose payload owns
// nothing, so nothing is duplicated.
[[gnu::noinline]] bool readable(const VARIANT& element) {
  VARIANT probe = element;
  if ((probe.vt & VT_BYREF) == 0) {  // a by-reference copy copies the pointer only
    auto* payload = reinterpret_cast<unsigned char*>(&probe.llVal);
    const auto header =
        static_cast<std::size_t>(payload - reinterpret_cast<unsigned char*>(&probe));
    std::memset(payload, 0, sizeof probe - header);
  }
  VARIANT copy;
  VariantInit(&copy);
  const HRESULT hr = VariantCopy(&copy, &probe);
  if (SUCCEEDED(hr)) VariantClear(&copy);
  return SUCCEEDED(hr);
}

bool is_interface(const VARIANT& v) {
  return v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN;
}

// A VARIANT row. Each element is converted where it lies: a nested array in
// place, once; a string or number read from the slot. An interface element
// gets its own AddRef for the wrapper that takes it over; the array keeps
// the reference it holds.
jobject variant_row(JNIEnv* env, jobject receiver, const VARIANT* variant, LONG* indices, UINT k,
                    RowSpan span, int element_levels) {
  OvLocalRef<jobjectArray> row(env, env->NewObjectArray(span.count(), ov_cache.object, nullptr));
  if (!row) return nullptr;
  const ArrayLock lock(variant->parray);
  for (std::int64_t i = span.lb; i <= span.ub; ++i) {
    indices[k] = static_cast<LONG>(i);
    void* slot = nullptr;
    if (!lock.ok() || FAILED(SafeArrayPtrOfIndex(variant->parray, indices, &slot)) ||
        !readable(*static_cast<const VARIANT*>(slot))) {
      ov_throw_conversion_exception(env, nullptr, "Failed to get array element.");
      return row.release();
    }
    const VARIANT element = *static_cast<const VARIANT*>(slot);  // the array still owns it
    const bool wrapped = is_interface(element) && element.punkVal != nullptr;
    if (wrapped && !ov_guarded_add_ref(element.punkVal)) {
      ov_throw_dispatch_exception(env, "Access Violation");
      return row.release();
    }
    OvLocalRef<jobject> value(env, ov_variant_to_java(env, receiver, &element, element_levels));
    if (env->ExceptionCheck()) {
      if (wrapped) ov_guarded_release(element.punkVal);  // no wrapper took the reference
      return row.release();
    }
    env->SetObjectArrayElement(row.get(), static_cast<jsize>(i - span.lb), value.get());
  }
  return row.release();
}

struct ElementRow {
  VARTYPE element_type;
  const char* descriptor;  // of the innermost Java array's component
  RowBuilder build;
};

constexpr ElementRow kElementRows[] = {
    {VT_I2, "S",
     number_row<SHORT, jshortArray, jshort, &JNIEnv::NewShortArray, &JNIEnv::SetShortArrayRegion>},
    {VT_I4, "I",
     number_row<LONG, jintArray, jint, &JNIEnv::NewIntArray, &JNIEnv::SetIntArrayRegion>},
    {VT_R4, "F",
     number_row<FLOAT, jfloatArray, jfloat, &JNIEnv::NewFloatArray, &JNIEnv::SetFloatArrayRegion>},
    {VT_R8, "D",
     number_row<DOUBLE, jdoubleArray, jdouble, &JNIEnv::NewDoubleArray,
                &JNIEnv::SetDoubleArrayRegion>},
    {VT_BSTR, "Ljava/lang/String;", string_row},
    {VT_VARIANT, "Ljava/lang/Object;", variant_row},
    {VT_I1, "B",
     number_row<CHAR, jbyteArray, jbyte, &JNIEnv::NewByteArray, &JNIEnv::SetByteArrayRegion>},
    {VT_I8, "J",
     number_row<LONGLONG, jlongArray, jlong, &JNIEnv::NewLongArray, &JNIEnv::SetLongArrayRegion>},
    {VT_INT, "I",
     number_row<INT, jintArray, jint, &JNIEnv::NewIntArray, &JNIEnv::SetIntArrayRegion>},
};

// The row of the array's element type (vt without VT_ARRAY; VT_BYREF stays,
// so by-reference element types find no row).
const ElementRow* element_row(const VARIANT* variant) {
  const auto element_type = static_cast<VARTYPE>(variant->vt & ~VT_ARRAY);
  for (const ElementRow& row : kElementRows) {
    if (row.element_type == element_type) return &row;
  }
  return nullptr;
}

// Bounds of dimension k + 1; both queried before either is tested.
bool dimension_span(JNIEnv* env, const VARIANT* variant, UINT k, RowSpan* span) {
  const HRESULT lower = SafeArrayGetLBound(variant->parray, k + 1, &span->lb);
  const HRESULT upper = SafeArrayGetUBound(variant->parray, k + 1, &span->ub);
  if (SUCCEEDED(lower) && SUCCEEDED(upper)) return true;
  ov_throw_conversion_exception(env, nullptr, "Failed to get array lower/upper bounds.");
  return false;
}

constexpr const char* kTooManyDimensions =
    "A SAFEARRAY of %d dimensions has no Java array type (at most 255).";
constexpr const char* kNestedTooDeep =
    "SAFEARRAY nesting deeper than %d levels is refused: %d is the most dimensions a Java array "
    "type has, and every level costs native stack.";

// Local references one level holds at a time (its element class, its array,
// the element or sub-array being converted, what a refusal makes).
constexpr jint kLevelReferences = 16;

// Level k of dims, not the last: an array of the arrays of level k + 1,
// made in the level's own local frame. Not inlined into
// ov_safearray_level_to_java, which the last level of every nested array
// passes through, so that its frame stays small.
[[gnu::noinline]] jobject nested_level(JNIEnv* env, jobject receiver, const VARIANT* variant,
                                       UINT dims, LONG* indices, UINT k, int outer_levels) {
  RowSpan span{};
  if (!dimension_span(env, variant, k, &span)) return nullptr;
  OvLocalFrame frame(env, kLevelReferences);
  if (!frame.ok()) return nullptr;
  jobject result = nullptr;
  {  // the owners of this level go before its frame does
    OvLocalRef<jclass> element_class(env, ov_nested_array_class(env, variant, dims - k - 1));
    if (!element_class) return nullptr;
    OvLocalRef<jobjectArray> level(env,
                                   env->NewObjectArray(span.count(), element_class.get(), nullptr));
    if (!level) return nullptr;
    for (std::int64_t i = span.lb; i <= span.ub; ++i) {
      indices[k] = static_cast<LONG>(i);
      OvLocalRef<jobject> sub(env, ov_safearray_level_to_java(env, receiver, variant, dims, indices,
                                                              k + 1, outer_levels));
      if (env->ExceptionCheck()) {
        // Stored all the same, so that the top level releases the wrappers
        // the partial sub-array holds.
        OvPendingException held(env);
        env->SetObjectArrayElement(level.get(), static_cast<jsize>(i - span.lb), sub.get());
        break;
      }
      env->SetObjectArrayElement(level.get(), static_cast<jsize>(i - span.lb), sub.get());
    }
    result = level.release();
  }
  return frame.pop(result);
}

}  // namespace

jclass ov_nested_array_class(JNIEnv* env, const VARIANT* variant, UINT depth) {
  const ElementRow* row = element_row(variant);
  if (row == nullptr) return nullptr;
  char name[512] = {};
  const std::size_t descriptor_length = std::strlen(row->descriptor);
  if (depth >= kOvMaxJavaArrayDimensions || depth + descriptor_length >= sizeof name) {
    ov_throw_conversion_exception(env, variant, kTooManyDimensions, static_cast<int>(depth + 1));
    return nullptr;
  }
  std::memset(name, '[', depth);
  std::memcpy(name + depth, row->descriptor, descriptor_length);
  return env->FindClass(name);
}

jobject ov_safearray_row_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant,
                                 LONG* indices, UINT k) {
  return ov_safearray_row_to_java(env, receiver, variant, indices, k, 0);
}

jobject ov_safearray_row_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant,
                                 LONG* indices, UINT k, int outer_levels) {
  RowSpan span{};
  if (!dimension_span(env, variant, k, &span)) return nullptr;
  const ElementRow* row = element_row(variant);
  if (row == nullptr) {
    ov_throw_conversion_exception(env, variant, "Not supported VT_ARRAY type.");
    return nullptr;
  }
  return row->build(env, receiver, variant, indices, k, span,
                    outer_levels + static_cast<int>(k) + 1);
}

jobject ov_safearray_level_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant, UINT dims,
                                   LONG* indices, UINT k) {
  return ov_safearray_level_to_java(env, receiver, variant, dims, indices, k, 0);
}

jobject ov_safearray_level_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant, UINT dims,
                                   LONG* indices, UINT k, int outer_levels) {
  if (k + 1 == dims) {
    return ov_safearray_row_to_java(env, receiver, variant, indices, k, outer_levels);
  }
  return nested_level(env, receiver, variant, dims, indices, k, outer_levels);
}

jobject ov_safearray_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant) {
  return ov_safearray_to_java(env, receiver, variant, 0);
}

jobject ov_safearray_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant,
                             int outer_levels) {
  const UINT dims = variant->parray != nullptr ? SafeArrayGetDim(variant->parray) : 0;
  if (dims > kOvMaxJavaArrayDimensions) {
    ov_throw_conversion_exception(env, variant, kTooManyDimensions, static_cast<int>(dims));
    return nullptr;
  }
  if (outer_levels + static_cast<int>(dims) > kOvMaxArrayNesting) {
    // No copy of the VARIANT goes with the exception: copying a nesting this
    // deep is what the limit keeps the platform from doing.
    ov_throw_conversion_exception(env, nullptr, kNestedTooDeep, kOvMaxArrayNesting,
                                  kOvMaxArrayNesting);
    return nullptr;
  }
  OvLocalFrame frame(env, kLevelReferences);
  if (!frame.ok()) return nullptr;
  std::vector<LONG> indices(dims > 0 ? dims : 1);
  jobject result =
      ov_safearray_level_to_java(env, receiver, variant, dims, indices.data(), 0, outer_levels);
  if (env->ExceptionCheck()) {
    {
      // Java releases the wrappers made so far; the failure waits meanwhile.
      OvPendingException held(env);
      ov_release_iresources(env, result);
    }
    if (result != nullptr) env->DeleteLocalRef(result);
    result = nullptr;
  }
  return frame.pop(result);
}
