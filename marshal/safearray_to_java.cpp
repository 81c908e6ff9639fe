#include "marshal/safearray_to_java.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "marshal/java_to_variant.h"
#include "marshal/variant_to_java.h"
#include "runtime/class_cache.h"
#include "runtime/com_refs.h"
#include "runtime/errors.h"
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

using RowBuilder = jobject (*)(JNIEnv* env, jobject receiver, const VARIANT* variant, LONG* indices,
                               UINT k, RowSpan span);

// A number row: each element read with SafeArrayGetElement into a local of
// its own width and stored with a one-element region store. A failed read
// gives null without an exception.
template <class Element, class ArrayT, class J, ArrayT (JNIEnv::*new_array)(jsize),
          void (JNIEnv::*store)(ArrayT, jsize, jsize, const J*)>
jobject number_row(JNIEnv* env, jobject, const VARIANT* variant, LONG* indices, UINT k,
                   RowSpan span) {
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
                   RowSpan span) {
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

jobject variant_row(JNIEnv* env, jobject receiver, const VARIANT* variant, LONG* indices, UINT k,
                    RowSpan span) {
  OvLocalRef<jobjectArray> row(env, env->NewObjectArray(span.count(), ov_cache.object, nullptr));
  if (!row) return nullptr;
  for (std::int64_t i = span.lb; i <= span.ub; ++i) {
    indices[k] = static_cast<LONG>(i);
    // Initialised before every read: the read copies into the element with
    // VariantCopy, which would first clear what the previous element left
    // there - an interface pointer that now belongs to a Java wrapper.
    VARIANT element;
    VariantInit(&element);
    if (FAILED(SafeArrayGetElement(variant->parray, indices, &element))) {
      ov_throw_conversion_exception(env, nullptr, "Failed to get array element.");
      return row.release();
    }
    OvLocalRef<jobject> value(env, ov_variant_to_java(env, receiver, &element));
    if (env->ExceptionCheck()) {
      ov_clear_variant(&element, true);
      return row.release();
    }
    env->SetObjectArrayElement(row.get(), static_cast<jsize>(i - span.lb), value.get());
    // Strings and nested arrays are freed; interface references stay with
    // the wrappers that took them over.
    ov_clear_variant(&element, false);
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
  RowSpan span{};
  if (!dimension_span(env, variant, k, &span)) return nullptr;
  const ElementRow* row = element_row(variant);
  if (row == nullptr) {
    ov_throw_conversion_exception(env, variant, "Not supported VT_ARRAY type.");
    return nullptr;
  }
  return row->build(env, receiver, variant, indices, k, span);
}

jobject ov_safearray_level_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant, UINT dims,
                                   LONG* indices, UINT k) {
  if (k + 1 == dims) return ov_safearray_row_to_java(env, receiver, variant, indices, k);
  RowSpan span{};
  if (!dimension_span(env, variant, k, &span)) return nullptr;
  OvLocalRef<jclass> element_class(env, ov_nested_array_class(env, variant, dims - k - 1));
  if (!element_class) return nullptr;
  OvLocalRef<jobjectArray> level(env,
                                 env->NewObjectArray(span.count(), element_class.get(), nullptr));
  if (!level) return nullptr;
  for (std::int64_t i = span.lb; i <= span.ub; ++i) {
    indices[k] = static_cast<LONG>(i);
    OvLocalRef<jobject> sub(
        env, ov_safearray_level_to_java(env, receiver, variant, dims, indices, k + 1));
    if (env->ExceptionCheck()) {
      // Stored all the same, so that the top level releases the wrappers the
      // partial sub-array holds.
      OvPendingException held(env);
      env->SetObjectArrayElement(level.get(), static_cast<jsize>(i - span.lb), sub.get());
      break;
    }
    env->SetObjectArrayElement(level.get(), static_cast<jsize>(i - span.lb), sub.get());
  }
  return level.release();
}

jobject ov_safearray_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant) {
  const UINT dims = variant->parray != nullptr ? SafeArrayGetDim(variant->parray) : 0;
  if (dims > kOvMaxJavaArrayDimensions) {
    ov_throw_conversion_exception(env, variant, kTooManyDimensions, static_cast<int>(dims));
    return nullptr;
  }
  std::vector<LONG> indices(dims > 0 ? dims : 1);
  jobject result = ov_safearray_level_to_java(env, receiver, variant, dims, indices.data(), 0);
  if (env->ExceptionCheck()) {
    {
      // Java releases the wrappers made so far; the failure waits meanwhile.
      OvPendingException held(env);
      ov_release_iresources(env, result);
    }
    if (result != nullptr) env->DeleteLocalRef(result);
    result = nullptr;
  }
  return result;
}
