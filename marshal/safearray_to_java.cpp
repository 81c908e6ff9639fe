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

// The classes of the nested levels below the outermost one, looked up once
// per conversion and held as global references until it ends: a level's
// local frame would drop them with the level, and every level of one depth
// asks for the same class.
class NestedClasses {
 public:
  explicit NestedClasses(JNIEnv* env) : env_(env) {}
  ~NestedClasses() {
    for (jclass cls : classes_) {
      if (cls != nullptr) env_->DeleteGlobalRef(cls);
    }
  }
  NestedClasses(const NestedClasses&) = delete;
  NestedClasses& operator=(const NestedClasses&) = delete;

  // A new local reference to the class of depth, or null (see
  // ov_nested_array_class).
  jclass get(const VARIANT* variant, UINT depth) {
    if (depth >= classes_.size()) classes_.resize(depth + 1, nullptr);
    if (classes_[depth] == nullptr) {
      OvLocalRef<jclass> found(env_, ov_nested_array_class(env_, variant, depth));
      if (!found) return nullptr;
      classes_[depth] = static_cast<jclass>(env_->NewGlobalRef(found.get()));
      if (classes_[depth] == nullptr) {
        ov_throw_java_lang(env_, "OutOfMemoryError", "no global reference for an array class");
        return nullptr;
      }
    }
    return static_cast<jclass>(env_->NewLocalRef(classes_[depth]));
  }

 private:
  JNIEnv* env_;
  std::vector<jclass> classes_;
};

// One conversion of one SAFEARRAY: the array stays locked throughout, so
// that the rows read its data in place.
struct Conversion {
  Conversion(JNIEnv* jni, jobject receiving, const VARIANT* array, UINT dimensions,
             LONG* index_vector, int levels_outside)
      : env(jni),
        receiver(receiving),
        variant(array),
        dims(dimensions),
        indices(index_vector),
        outer_levels(levels_outside),
        lock(array->parray),
        classes(jni) {}

  // Room for n elements of T, kept for the rest of the conversion.
  template <class T>
  T* scratch(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (buffer.size() < bytes) buffer.resize(bytes);
    return reinterpret_cast<T*>(buffer.data());
  }

  // The address of the element at indices (the array is locked), or null.
  unsigned char* element_address() const {
    void* slot = nullptr;
    if (FAILED(SafeArrayPtrOfIndex(variant->parray, indices, &slot))) return nullptr;
    return static_cast<unsigned char*>(slot);
  }

  JNIEnv* env;
  jobject receiver;
  const VARIANT* variant;
  UINT dims;
  LONG* indices;
  int outer_levels;
  ArrayLock lock;
  NestedClasses classes;
  std::vector<unsigned char> buffer;
};

// Bounds of dimension k + 1; both queried before either is tested.
bool dimension_span(JNIEnv* env, const VARIANT* variant, UINT k, RowSpan* span) {
  const HRESULT lower = SafeArrayGetLBound(variant->parray, k + 1, &span->lb);
  const HRESULT upper = SafeArrayGetUBound(variant->parray, k + 1, &span->ub);
  if (SUCCEEDED(lower) && SUCCEEDED(upper)) return true;
  ov_throw_conversion_exception(env, nullptr, "Failed to get array lower/upper bounds.");
  return false;
}

// Where a row's elements lie: the first at base, the next step bytes on
// (rows along the last dimension are strided in memory when the array has
// more than one dimension, because the first dimension varies fastest).
struct RowPlace {
  const unsigned char* base;
  std::ptrdiff_t step;
};

// The place of the row at indices (entry k walks it), or false when the
// platform gives no address for it. Needs count > 0.
bool row_place(const Conversion& c, UINT k, RowSpan span, RowPlace* place) {
  c.indices[k] = span.lb;
  const unsigned char* first = c.element_address();
  if (first == nullptr) return false;
  place->base = first;
  place->step = 0;
  if (span.count() > 1) {
    c.indices[k] = span.lb + 1;
    const unsigned char* second = c.element_address();
    c.indices[k] = span.lb;
    if (second == nullptr) return false;
    place->step = second - first;
  }
  return true;
}

template <class Element>
Element load(const unsigned char* at) {
  Element value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// The SAFEARRAY holds elements of the width and kind its VARIANT claims
// (element_kind: the FADF_ flag of strings or VARIANTs, 0 for numbers).
// Reading it in place (or copying its elements out) relies on that, so an
// array that does not is refused instead of being overread or having its
// elements read as what they are not.
bool layout_fits(JNIEnv* env, const VARIANT* variant, std::size_t element_size,
                 USHORT element_kind) {
  constexpr USHORT kKinds = FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT;
  const SAFEARRAY* psa = variant->parray;
  bool empty = false;
  for (USHORT d = 0; d < psa->cDims; ++d) empty = empty || psa->rgsabound[d].cElements == 0;
  const bool fits = psa->cbElements == element_size && (psa->fFeatures & kKinds) == element_kind &&
                    (empty || psa->pvData != nullptr);
  if (!fits) {
    ov_throw_conversion_exception(
        env, nullptr, "The SAFEARRAY's elements (%d bytes each) do not hold its VARTYPE %d.",
        static_cast<int>(psa->cbElements), static_cast<int>(variant->vt & ~VT_ARRAY));
  }
  return fits;
}

// A number row builds the Java array of one row; a number block builds the
// rows of a whole level (all of them rows) at once.
using RowBuilder = jobject (*)(Conversion& c, UINT k, RowSpan span);
using BlockBuilder = bool (*)(Conversion& c, UINT k, RowSpan rows, jobjectArray level);

// Rows gathered per pass of a number block: the elements of neighbouring
// rows at one position lie side by side in a two-dimensional array, so a
// pass reads whole cache lines and each row is stored with one region store.
constexpr jsize kBlockRows = 8;

template <class Element, class ArrayT, class J, ArrayT (JNIEnv::*new_array)(jsize),
          void (JNIEnv::*store)(ArrayT, jsize, jsize, const J*)>
struct NumberRows {
  static_assert(sizeof(Element) == sizeof(J), "the row is stored bit for bit");

  // Element by element through the platform, for an array that cannot be
  // locked. A failed read gives null without an exception.
  static jobject row_by_elements(Conversion& c, UINT k, RowSpan span, ArrayT row) {
    for (std::int64_t i = span.lb; i <= span.ub; ++i) {
      c.indices[k] = static_cast<LONG>(i);
      Element element{};
      if (FAILED(SafeArrayGetElement(c.variant->parray, c.indices, &element))) return nullptr;
      const auto value = static_cast<J>(element);
      (c.env->*store)(row, static_cast<jsize>(i - span.lb), 1, &value);
    }
    return row;
  }

  // The count elements at place, in order, as J: in place when they are
  // contiguous, else gathered into the conversion's buffer.
  static const J* contiguous(Conversion& c, RowPlace place, jsize count) {
    if (place.step == static_cast<std::ptrdiff_t>(sizeof(Element)) || count <= 1) {
      return reinterpret_cast<const J*>(place.base);
    }
    J* out = c.scratch<J>(static_cast<std::size_t>(count));
    const unsigned char* at = place.base;
    for (jsize j = 0; j < count; ++j, at += place.step) out[j] = load<J>(at);
    return out;
  }

  static jobject row(Conversion& c, UINT k, RowSpan span) {
    if (!layout_fits(c.env, c.variant, sizeof(Element), 0)) return nullptr;
    const jsize count = span.count();
    OvLocalRef<ArrayT> row(c.env, (c.env->*new_array)(count));
    if (!row) return nullptr;
    if (count == 0) return row.release();
    if (!c.lock.ok()) return row_by_elements(c, k, span, row.get()) ? row.release() : nullptr;
    RowPlace place{};
    if (!row_place(c, k, span, &place)) return nullptr;
    (c.env->*store)(row.get(), 0, count, contiguous(c, place, count));
    return row.release();
  }

  // Level k, whose elements are the rows of dimension k + 2: kBlockRows
  // rows gathered per pass. False with an exception pending when it stops;
  // the rows made so far are in level.
  static bool block(Conversion& c, UINT k, RowSpan rows, jobjectArray level) {
    const jsize row_count = rows.count();
    if (row_count == 0) return true;
    RowSpan span{};
    if (!dimension_span(c.env, c.variant, k + 1, &span)) return false;
    if (!layout_fits(c.env, c.variant, sizeof(Element), 0)) return false;
    const jsize count = span.count();
    RowPlace along{};  // the first element of each row
    RowPlace first{};  // the elements of the first row
    if (count > 0) {
      c.indices[k + 1] = span.lb;
      // No address for an element the array bounds: as a failed element
      // read, every row stays null and nothing is raised.
      if (!row_place(c, k, rows, &along) || !row_place(c, k + 1, span, &first)) return true;
    }
    for (jsize done = 0; done < row_count; done += kBlockRows) {
      const jsize n = row_count - done < kBlockRows ? row_count - done : kBlockRows;
      const J* values[kBlockRows] = {};
      if (count > 0) gather(c, along, first.step, done, n, count, values);
      for (jsize b = 0; b < n; ++b) {
        OvLocalRef<ArrayT> row(c.env, (c.env->*new_array)(count));
        if (!row) return false;
        if (count > 0) (c.env->*store)(row.get(), 0, count, values[b]);
        c.env->SetObjectArrayElement(level, done + b, row.get());
      }
    }
    return true;
  }

  // Rows done .. done + n - 1, each in order: in place when contiguous, else
  // transposed into the buffer, reading the n neighbouring elements of each
  // position together.
  static void gather(Conversion& c, RowPlace along, std::ptrdiff_t step, jsize done, jsize n,
                     jsize count, const J* values[kBlockRows]) {
    const unsigned char* origin = along.base + static_cast<std::ptrdiff_t>(done) * along.step;
    if (step == static_cast<std::ptrdiff_t>(sizeof(Element)) || count == 1) {
      for (jsize b = 0; b < n; ++b) {
        values[b] =
            reinterpret_cast<const J*>(origin + static_cast<std::ptrdiff_t>(b) * along.step);
      }
      return;
    }
    J* out = c.scratch<J>(static_cast<std::size_t>(n) * static_cast<std::size_t>(count));
    for (jsize b = 0; b < n; ++b) values[b] = out + static_cast<std::ptrdiff_t>(b) * count;
    const unsigned char* at = origin;
    for (jsize j = 0; j < count; ++j, at += step) {
      const unsigned char* element = at;
      for (jsize b = 0; b < n; ++b, element += along.step) {
        out[static_cast<std::ptrdiff_t>(b) * count + j] = load<J>(element);
      }
    }
  }
};

// A BSTR row: each string read where it lies and copied into a new String
// (a null BSTR gives the empty string). Without the lock, each element is
// copied out first; a failed read gives null without an exception.
jobject string_row(Conversion& c, UINT k, RowSpan span) {
  if (!layout_fits(c.env, c.variant, sizeof(BSTR), FADF_BSTR)) return nullptr;
  JNIEnv* env = c.env;
  const jsize count = span.count();
  OvLocalRef<jobjectArray> row(env, env->NewObjectArray(count, ov_cache.string, nullptr));
  if (!row) return nullptr;
  if (count == 0) return row.release();
  static const jchar kNoChars[1] = {0};
  RowPlace place{};
  if (c.lock.ok() && !row_place(c, k, span, &place)) return nullptr;
  for (jsize j = 0; j < count; ++j) {
    BSTR copy = nullptr;  // owned, when the element is copied out
    if (!c.lock.ok()) {
      c.indices[k] = static_cast<LONG>(std::int64_t{span.lb} + j);
      if (FAILED(SafeArrayGetElement(c.variant->parray, c.indices, &copy))) return nullptr;
    }
    const OvBstr owned(copy);
    const BSTR bstr =
        c.lock.ok() ? load<BSTR>(place.base + static_cast<std::ptrdiff_t>(j) * place.step) : copy;
    const jchar* chars = bstr != nullptr ? reinterpret_cast<const jchar*>(bstr) : kNoChars;
    OvLocalRef<jstring> text(env, env->NewString(chars, static_cast<jsize>(SysStringLen(bstr))));
    if (!text) return nullptr;
    env->SetObjectArrayElement(row.get(), j, text.get());
  }
  return row.release();
}

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
jobject variant_row(Conversion& c, UINT k, RowSpan span) {
  if (!layout_fits(c.env, c.variant, sizeof(VARIANT), FADF_VARIANT)) return nullptr;
  JNIEnv* env = c.env;
  OvLocalRef<jobjectArray> row(env, env->NewObjectArray(span.count(), ov_cache.object, nullptr));
  if (!row) return nullptr;
  const int element_levels = c.outer_levels + static_cast<int>(k) + 1;
  for (std::int64_t i = span.lb; i <= span.ub; ++i) {
    c.indices[k] = static_cast<LONG>(i);
    const unsigned char* slot = c.lock.ok() ? c.element_address() : nullptr;
    if (slot == nullptr || !readable(*reinterpret_cast<const VARIANT*>(slot))) {
      ov_throw_conversion_exception(env, nullptr, "Failed to get array element.");
      return row.release();
    }
    const VARIANT element = *reinterpret_cast<const VARIANT*>(slot);  // the array still owns it
    const bool wrapped = is_interface(element) && element.punkVal != nullptr;
    if (wrapped && !ov_guarded_add_ref(element.punkVal)) {
      ov_throw_dispatch_exception(env, "Access Violation");
      return row.release();
    }
    OvLocalRef<jobject> value(env, ov_variant_to_java(env, c.receiver, &element, element_levels));
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
  BlockBuilder block;  // null when the rows are built one by one
};

template <class Element, class ArrayT, class J, ArrayT (JNIEnv::*new_array)(jsize),
          void (JNIEnv::*store)(ArrayT, jsize, jsize, const J*)>
constexpr ElementRow number_row(VARTYPE vt, const char* descriptor) {
  using Rows = NumberRows<Element, ArrayT, J, new_array, store>;
  return {vt, descriptor, &Rows::row, &Rows::block};
}

constexpr ElementRow kElementRows[] = {
    number_row<SHORT, jshortArray, jshort, &JNIEnv::NewShortArray, &JNIEnv::SetShortArrayRegion>(
        VT_I2, "S"),
    number_row<LONG, jintArray, jint, &JNIEnv::NewIntArray, &JNIEnv::SetIntArrayRegion>(VT_I4, "I"),
    number_row<FLOAT, jfloatArray, jfloat, &JNIEnv::NewFloatArray, &JNIEnv::SetFloatArrayRegion>(
        VT_R4, "F"),
    number_row<DOUBLE, jdoubleArray, jdouble, &JNIEnv::NewDoubleArray,
               &JNIEnv::SetDoubleArrayRegion>(VT_R8, "D"),
    {VT_BSTR, "Ljava/lang/String;", string_row, nullptr},
    {VT_VARIANT, "Ljava/lang/Object;", variant_row, nullptr},
    number_row<CHAR, jbyteArray, jbyte, &JNIEnv::NewByteArray, &JNIEnv::SetByteArrayRegion>(VT_I1,
                                                                                            "B"),
    number_row<LONGLONG, jlongArray, jlong, &JNIEnv::NewLongArray, &JNIEnv::SetLongArrayRegion>(
        VT_I8, "J"),
    number_row<INT, jintArray, jint, &JNIEnv::NewIntArray, &JNIEnv::SetIntArrayRegion>(VT_INT, "I"),
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

constexpr const char* kTooManyDimensions =
    "A SAFEARRAY of %d dimensions has no Java array type (at most 255).";
constexpr const char* kNestedTooDeep =
    "SAFEARRAY nesting deeper than %d levels is refused: %d is the most dimensions a Java array "
    "type has, and every level costs native stack.";

// Local references one level holds at a time (its element class, its array,
// the element or sub-array being converted, what a refusal makes).
constexpr jint kLevelReferences = 16;
static_assert(kBlockRows + 4 <= kLevelReferences, "a block's rows fit the level's frame");

jobject level_to_java(Conversion& c, UINT k);

// Level k of dims, not the last: an array of the arrays of level k + 1,
// made in the level's own local frame. Not inlined into level_to_java,
// which the last level of every nested array passes through, so that its
// frame stays small.
[[gnu::noinline]] jobject nested_level(Conversion& c, UINT k) {
  JNIEnv* env = c.env;
  RowSpan span{};
  if (!dimension_span(env, c.variant, k, &span)) return nullptr;
  OvLocalFrame frame(env, kLevelReferences);
  if (!frame.ok()) return nullptr;
  jobject result = nullptr;
  {  // the owners of this level go before its frame does
    const UINT depth = c.dims - k - 1;
    // The outermost level asks for its class once; the deeper ones share
    // one lookup per depth.
    OvLocalRef<jclass> element_class(env, k == 0 ? ov_nested_array_class(env, c.variant, depth)
                                                 : c.classes.get(c.variant, depth));
    if (!element_class) return nullptr;
    OvLocalRef<jobjectArray> level(env,
                                   env->NewObjectArray(span.count(), element_class.get(), nullptr));
    if (!level) return nullptr;
    const ElementRow* row = k + 2 == c.dims ? element_row(c.variant) : nullptr;
    if (row != nullptr && row->block != nullptr && c.lock.ok()) {
      row->block(c, k, span, level.get());
    } else {
      for (std::int64_t i = span.lb; i <= span.ub; ++i) {
        c.indices[k] = static_cast<LONG>(i);
        OvLocalRef<jobject> sub(env, level_to_java(c, k + 1));
        if (env->ExceptionCheck()) {
          // Stored all the same, so that the top level releases the wrappers
          // the partial sub-array holds.
          OvPendingException held(env);
          env->SetObjectArrayElement(level.get(), static_cast<jsize>(i - span.lb), sub.get());
          break;
        }
        env->SetObjectArrayElement(level.get(), static_cast<jsize>(i - span.lb), sub.get());
      }
    }
    result = level.release();
  }
  return frame.pop(result);
}

jobject row_to_java(Conversion& c, UINT k) {
  RowSpan span{};
  if (!dimension_span(c.env, c.variant, k, &span)) return nullptr;
  const ElementRow* row = element_row(c.variant);
  if (row == nullptr) {
    ov_throw_conversion_exception(c.env, c.variant, "Not supported VT_ARRAY type.");
    return nullptr;
  }
  return row->build(c, k, span);
}

jobject level_to_java(Conversion& c, UINT k) {
  if (k + 1 == c.dims) return row_to_java(c, k);
  return nested_level(c, k);
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
  Conversion c(env, receiver, variant, k + 1, indices, outer_levels);
  return row_to_java(c, k);
}

jobject ov_safearray_level_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant, UINT dims,
                                   LONG* indices, UINT k) {
  return ov_safearray_level_to_java(env, receiver, variant, dims, indices, k, 0);
}

jobject ov_safearray_level_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant, UINT dims,
                                   LONG* indices, UINT k, int outer_levels) {
  Conversion c(env, receiver, variant, dims, indices, outer_levels);
  return level_to_java(c, k);
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
  jobject result = nullptr;
  {
    Conversion c(env, receiver, variant, dims, indices.data(), outer_levels);
    result = level_to_java(c, 0);
  }
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
