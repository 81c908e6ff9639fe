#include "marshal/array_to_safearray.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>

#include "marshal/java_to_variant.h"
#include "runtime/class_cache.h"
#include "runtime/com_refs.h"
#include "runtime/errors.h"
#include "runtime/foreign_calls.h"
#include "runtime/jni_refs.h"
#include "runtime/variant_clear.h"
#include "runtime/wrappers.h"

namespace {

// A SAFEARRAY under construction; destroyed with its elements unless handed
// over to the VARIANT (the releases of interface elements under the guard).
struct SafeArrayDestroyer {
  void operator()(SAFEARRAY* psa) const { ov_safearray_destroy_guarded(psa); }
};
using OwnedSafeArray = std::unique_ptr<SAFEARRAY, SafeArrayDestroyer>;

// The SAFEARRAY data locked for one pass (SafeArrayAccessData/UnaccessData).
class LockedSafeArrayData {
 public:
  explicit LockedSafeArrayData(SAFEARRAY* psa) : psa_(psa), hr_(SafeArrayAccessData(psa, &data_)) {}
  ~LockedSafeArrayData() {
    if (SUCCEEDED(hr_)) SafeArrayUnaccessData(psa_);
  }
  LockedSafeArrayData(const LockedSafeArrayData&) = delete;
  LockedSafeArrayData& operator=(const LockedSafeArrayData&) = delete;

  HRESULT status() const { return hr_; }
  void* get() const { return data_; }

 private:
  SAFEARRAY* psa_;
  void* data_ = nullptr;
  HRESULT hr_;
};

bool is_interface(const VARIANT& v) {
  return v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN;
}

// The slots of a new one-dimensional array, filled in place while its data
// is locked. A converted value is moved into its slot. An interface pointer
// stays borrowed from its Java wrapper until adopt_interfaces() gives the
// array its own references; a fill that stops before that drops the borrowed
// pointers again, so that destroying the array releases only what it owns.
class ElementFill {
 public:
  ElementFill(SAFEARRAY* psa, VARTYPE element_type, ULONG count)
      : data_(psa), element_type_(element_type), size_(psa->cbElements), count_(count) {}
  ~ElementFill() {
    if (borrowing_) forget_borrowed(0);
  }
  ElementFill(const ElementFill&) = delete;
  ElementFill& operator=(const ElementFill&) = delete;

  HRESULT status() const { return data_.status(); }

  // Moves value into slot i and leaves value VT_EMPTY; false (value
  // untouched) when its type does not fit the element type.
  bool store(ULONG i, VARIANT* value) {
    void* target = slot(i);
    switch (element_type_) {
      case VT_VARIANT:
        std::memcpy(target, value, sizeof(VARIANT));
        borrowing_ = borrowing_ || (is_interface(*value) && value->punkVal != nullptr);
        break;
      case VT_BSTR:
        if (value->vt != VT_BSTR) return false;
        *static_cast<BSTR*>(target) = value->bstrVal;
        break;
      case VT_DISPATCH:
      case VT_UNKNOWN:
        if (!is_interface(*value)) return false;
        *static_cast<IUnknown**>(target) = value->punkVal;
        borrowing_ = borrowing_ || value->punkVal != nullptr;
        break;
      default:
        if (value->vt != element_type_) return false;
        std::memcpy(target, &value->llVal, size_);  // every number member starts the union
        break;
    }
    value->vt = VT_EMPTY;
    return true;
  }

  // AddRefs the borrowed pointers in one guarded region. False when an
  // AddRef faulted: the pointers from that slot on are dropped, those before
  // it are the array's.
  bool adopt_interfaces() {
    if (!borrowing_) return true;
    const std::size_t stop =
        ov_guarded_add_ref_each(count_, [this](std::size_t i) { return borrowed(i); });
    if (stop != count_) forget_borrowed(stop);
    borrowing_ = false;
    return stop == count_;
  }

 private:
  void* slot(std::size_t i) const { return static_cast<unsigned char*>(data_.get()) + i * size_; }

  // The borrowed interface pointer slot i holds, or null.
  IUnknown* borrowed(std::size_t i) const {
    if (element_type_ == VT_VARIANT) {
      const auto* v = static_cast<const VARIANT*>(slot(i));
      return is_interface(*v) ? v->punkVal : nullptr;
    }
    if (element_type_ == VT_DISPATCH || element_type_ == VT_UNKNOWN) {
      return *static_cast<IUnknown* const*>(slot(i));
    }
    return nullptr;
  }

  void forget_borrowed(std::size_t from) {
    for (std::size_t i = from; i < count_; ++i) {
      if (element_type_ == VT_VARIANT) {
        auto* v = static_cast<VARIANT*>(slot(i));
        if (is_interface(*v)) v->vt = VT_EMPTY;
      } else if (element_type_ == VT_DISPATCH || element_type_ == VT_UNKNOWN) {
        *static_cast<IUnknown**>(slot(i)) = nullptr;
      }
    }
  }

  LockedSafeArrayData data_;
  const VARTYPE element_type_;
  const std::size_t size_;
  const std::size_t count_;
  bool borrowing_ = false;
};

constexpr const char* kNestedTooDeep =
    "Array nesting deeper than %d levels is refused: %d is the most dimensions a Java array type "
    "has, and every level costs native stack.";
constexpr const char* kContainsItself =
    "The array contains itself (at nesting level %d) and cannot be converted.";

// Local references one level holds at a time (its class, its component
// class, the element being converted and what a refusal makes).
constexpr jint kLevelReferences = 16;

// Component class -> element type. A row holds when the component is the
// row's class or a subclass of it, or the primitive class of the row. Tested
// in order; Object catches every other reference type (arrays, Date ...).
struct ElementTypeRow {
  jclass OvClassCache::*java_class;
  jclass OvClassCache::*primitive_class;  // null when the row has none
  VARTYPE vt;
};

constexpr ElementTypeRow kElementTypeRows[] = {
    {&OvClassCache::string, nullptr, VT_BSTR},
    {&OvClassCache::booleanClass, &OvClassCache::booleanType, VT_BOOL},
    {&OvClassCache::byteClass, &OvClassCache::byteType, VT_UI1},
    {&OvClassCache::shortClass, &OvClassCache::shortType, VT_I2},
    {&OvClassCache::integerClass, &OvClassCache::intType, VT_I4},
    {&OvClassCache::longClass, &OvClassCache::longType, VT_I8},
    {&OvClassCache::floatClass, &OvClassCache::floatType, VT_R4},
    {&OvClassCache::doubleClass, &OvClassCache::doubleType, VT_R8},
    {&OvClassCache::iDispatch, nullptr, VT_DISPATCH},
    {&OvClassCache::iUnknown, nullptr, VT_UNKNOWN},
    {&OvClassCache::refString, nullptr, VT_BYREF | VT_BSTR},
    {&OvClassCache::refInt, nullptr, VT_BYREF | VT_I4},
    {&OvClassCache::refByte, nullptr, VT_BYREF | VT_UI1},
    {&OvClassCache::refShort, nullptr, VT_BYREF | VT_I2},
    {&OvClassCache::refLong, nullptr, VT_BYREF | VT_I8},
    {&OvClassCache::refDouble, nullptr, VT_BYREF | VT_R8},
    {&OvClassCache::refFloat, nullptr, VT_BYREF | VT_R4},
    {&OvClassCache::object, nullptr, VT_VARIANT},
};

// Element type of a primitive array -> its bulk copy.
struct CopyRow {
  VARTYPE vt;
  int (*copy)(JNIEnv* env, jarray array, SAFEARRAY* psa);
};

constexpr CopyRow kCopyRows[] = {
    {VT_BOOL,
     [](JNIEnv* env, jarray a, SAFEARRAY* psa) {
       return ov_copy_primitive_array(env, static_cast<jbooleanArray>(a), psa);
     }},
    {VT_UI1,
     [](JNIEnv* env, jarray a, SAFEARRAY* psa) {
       return ov_copy_primitive_array(env, static_cast<jbyteArray>(a), psa);
     }},
    {VT_I2,
     [](JNIEnv* env, jarray a, SAFEARRAY* psa) {
       return ov_copy_primitive_array(env, static_cast<jshortArray>(a), psa);
     }},
    {VT_I4,
     [](JNIEnv* env, jarray a, SAFEARRAY* psa) {
       return ov_copy_primitive_array(env, static_cast<jintArray>(a), psa);
     }},
    {VT_I8,
     [](JNIEnv* env, jarray a, SAFEARRAY* psa) {
       return ov_copy_primitive_array(env, static_cast<jlongArray>(a), psa);
     }},
    {VT_R4,
     [](JNIEnv* env, jarray a, SAFEARRAY* psa) {
       return ov_copy_primitive_array(env, static_cast<jfloatArray>(a), psa);
     }},
    {VT_R8,
     [](JNIEnv* env, jarray a, SAFEARRAY* psa) {
       return ov_copy_primitive_array(env, static_cast<jdoubleArray>(a), psa);
     }},
};

int refuse_object(JNIEnv* env, jobject object, const char* format, int number = 0) {
  OvMallocPtr<OLECHAR> text(ov_to_wide_string(env, object));
  if (text) ov_throw_dispatch_exception(env, format, text.get(), number);
  return 0;
}

// One region read and one pass over the locked data. Where the Java element
// and the SAFEARRAY element have the same layout the region is read straight
// into the locked data; booleans (1 byte in Java, a 16-bit VARIANT_BOOL in
// the array) go through a buffer and are widened to 0 or 1.
template <class Element, class ArrayT, class J>
int copy_bulk(JNIEnv* env, ArrayT array, SAFEARRAY* psa,
              void (JNIEnv::*read_region)(ArrayT, jsize, jsize, J*)) {
  const auto count = static_cast<jsize>(psa->rgsabound[0].cElements);
  if (count == 0) return 1;
  constexpr bool same_layout = sizeof(Element) == sizeof(J) && !std::is_same_v<J, jboolean>;
  OvMallocPtr<J> buffer;
  if constexpr (!same_layout) {
    // jsize is at most 2^31 - 1, so the byte size cannot overflow size_t on
    // a 64-bit build; on a 32-bit one the guard asks for the impossible.
    const auto n = static_cast<std::size_t>(count);
    const std::size_t bytes = n <= std::numeric_limits<std::size_t>::max() / sizeof(J)
                                  ? n * sizeof(J)
                                  : std::numeric_limits<std::size_t>::max();
    buffer.reset(static_cast<J*>(std::malloc(bytes)));
    if (!buffer) {
      ov_throw_java_lang(env, "OutOfMemoryError", "no memory to copy a Java array");
      return 0;
    }
    (env->*read_region)(array, 0, count, buffer.get());
    if (env->ExceptionCheck()) return 0;
  }
  LockedSafeArrayData data(psa);
  if (FAILED(data.status())) {
    ov_throw_dispatch_exception(env, "Failed to access the SAFEARRAY data (0x%x).",
                                static_cast<unsigned>(data.status()));
    return 0;
  }
  if constexpr (same_layout) {
    (env->*read_region)(array, 0, count, static_cast<J*>(data.get()));
    return env->ExceptionCheck() ? 0 : 1;
  } else {
    auto* out = static_cast<Element*>(data.get());
    for (jsize i = 0; i < count; ++i) out[i] = buffer.get()[i] != 0 ? 1 : 0;
    return 1;
  }
}

// The element class memo of one array's conversion; its global reference
// goes with the conversion.
class ElementArrayClass {
 public:
  explicit ElementArrayClass(JNIEnv* env) : env_(env) {}
  ~ElementArrayClass() {
    if (memo_.array_class != nullptr) env_->DeleteGlobalRef(memo_.array_class);
  }
  ElementArrayClass(const ElementArrayClass&) = delete;
  ElementArrayClass& operator=(const ElementArrayClass&) = delete;

  OvArrayElementClass* get() { return &memo_; }

 private:
  JNIEnv* env_;
  OvArrayElementClass memo_;
};

// The element type of an array of array_class and whether its component is
// primitive; false with a Java exception pending.
bool classify(JNIEnv* env, jclass array_class, VARTYPE* element_type, bool* primitive) {
  OvLocalRef<jclass> component(
      env, static_cast<jclass>(env->CallObjectMethod(array_class, ov_cache.getComponentType)));
  if (env->ExceptionCheck()) return false;
  *element_type = ov_array_element_vartype(env, component.get());
  if (*element_type == 0) return false;
  *primitive = env->CallBooleanMethod(component.get(), ov_cache.isPrimitive);
  return !env->ExceptionCheck();
}

int make_array_variant(JNIEnv* env, jobject array, VARIANT* variant, const OvJavaArrayPath* outer,
                       const OvArrayElementClass* classified);

// An element that is an array of the class its array's earlier array
// elements had: converted without asking the class table and Java again.
// Null when element is anything else.
const OvArrayElementClass* same_class_array(JNIEnv* env, jobject element,
                                            const OvJavaArrayPath& path) {
  const OvArrayElementClass* memo = path.element_arrays;
  if (memo == nullptr || memo->array_class == nullptr) return nullptr;
  OvLocalRef<jclass> element_class(env, env->GetObjectClass(element));
  return env->IsSameObject(element_class.get(), memo->array_class) ? memo : nullptr;
}

}  // namespace

int ov_copy_primitive_array(JNIEnv* env, jbooleanArray array, SAFEARRAY* psa) {
  return copy_bulk<VARIANT_BOOL>(env, array, psa, &JNIEnv::GetBooleanArrayRegion);
}
int ov_copy_primitive_array(JNIEnv* env, jbyteArray array, SAFEARRAY* psa) {
  return copy_bulk<BYTE>(env, array, psa, &JNIEnv::GetByteArrayRegion);
}
int ov_copy_primitive_array(JNIEnv* env, jshortArray array, SAFEARRAY* psa) {
  return copy_bulk<SHORT>(env, array, psa, &JNIEnv::GetShortArrayRegion);
}
int ov_copy_primitive_array(JNIEnv* env, jintArray array, SAFEARRAY* psa) {
  return copy_bulk<LONG>(env, array, psa, &JNIEnv::GetIntArrayRegion);
}
int ov_copy_primitive_array(JNIEnv* env, jlongArray array, SAFEARRAY* psa) {
  return copy_bulk<LONGLONG>(env, array, psa, &JNIEnv::GetLongArrayRegion);
}
int ov_copy_primitive_array(JNIEnv* env, jfloatArray array, SAFEARRAY* psa) {
  return copy_bulk<FLOAT>(env, array, psa, &JNIEnv::GetFloatArrayRegion);
}
int ov_copy_primitive_array(JNIEnv* env, jdoubleArray array, SAFEARRAY* psa) {
  return copy_bulk<DOUBLE>(env, array, psa, &JNIEnv::GetDoubleArrayRegion);
}

VARTYPE ov_array_element_vartype(JNIEnv* env, jclass component) {
  for (const ElementTypeRow& row : kElementTypeRows) {
    if (env->IsAssignableFrom(component, ov_cache.*row.java_class) ||
        (row.primitive_class != nullptr &&
         ov_is_same_object(env, component, ov_cache.*row.primitive_class))) {
      return row.vt;
    }
  }
  refuse_object(env, component, "%s is not yet supported.");
  return 0;
}

int ov_put_array_elements(JNIEnv* env, jobjectArray array, const SAFEARRAYBOUND& bound,
                          SAFEARRAY* psa, VARTYPE element_type) {
  const OvJavaArrayPath path{array, nullptr, 1};
  return ov_put_array_elements(env, array, bound, psa, element_type, path);
}

int ov_put_array_elements(JNIEnv* env, jobjectArray array, const SAFEARRAYBOUND& bound,
                          SAFEARRAY* psa, VARTYPE element_type, const OvJavaArrayPath& path) {
  ElementFill fill(psa, element_type, bound.cElements);
  if (FAILED(fill.status())) {
    ov_throw_dispatch_exception(env, "Failed to access the SAFEARRAY data (0x%x).",
                                static_cast<unsigned>(fill.status()));
    return 0;
  }
  for (ULONG i = 0; i < bound.cElements; ++i) {
    OvLocalRef<jobject> element(env, env->GetObjectArrayElement(array, static_cast<jsize>(i)));
    if (env->ExceptionCheck()) return 0;
    // The new array is zero-filled: a null element stays the element type's
    // empty value (VT_EMPTY, null BSTR, 0, null interface pointer).
    if (!element) continue;
    VARIANT temporary;
    VariantInit(&temporary);
    const OvArrayElementClass* classified = same_class_array(env, element.get(), path);
    const int converted =
        classified != nullptr
            ? make_array_variant(env, element.get(), &temporary, &path, classified)
            : ov_java_to_variant(env, element.get(), &temporary, &path);
    if (!converted) {
      ov_clear_variant(&temporary, false);
      if (!env->ExceptionCheck())
        ov_throw_dispatch_exception(env, "Error on j2v-ing array element");
      return 0;
    }
    if (!fill.store(i, &temporary)) {
      ov_clear_variant(&temporary, false);
      ov_throw_dispatch_exception(env, "Error on putting safe array element");
      return 0;
    }
  }
  if (!fill.adopt_interfaces()) {
    ov_throw_dispatch_exception(env, "Access Violation");
    return 0;
  }
  return 1;
}

int ov_make_array_variant(JNIEnv* env, jobject array, VARIANT* variant) {
  return ov_make_array_variant(env, array, variant, nullptr);
}

int ov_make_array_variant(JNIEnv* env, jobject array, VARIANT* variant,
                          const OvJavaArrayPath* outer) {
  return make_array_variant(env, array, variant, outer, nullptr);
}

namespace {

// classified: what array is known to convert to (an element of the class
// its array's memo holds), or null to ask its class.
int make_array_variant(JNIEnv* env, jobject array, VARIANT* variant, const OvJavaArrayPath* outer,
                       const OvArrayElementClass* classified) {
  ElementArrayClass element_arrays(env);
  const OvJavaArrayPath path{array, outer, outer != nullptr ? outer->depth + 1 : 1,
                             element_arrays.get()};
  for (const OvJavaArrayPath* level = outer; level != nullptr; level = level->outer) {
    if (env->IsSameObject(level->array, array)) {
      ov_throw_dispatch_exception(env, kContainsItself, path.depth);
      return 0;
    }
  }
  if (path.depth > kOvMaxArrayNesting) {
    ov_throw_dispatch_exception(env, kNestedTooDeep, kOvMaxArrayNesting, kOvMaxArrayNesting);
    return 0;
  }
  OvLocalFrame frame(env, kLevelReferences);
  if (!frame.ok()) return 0;
  VARTYPE element_type = 0;
  bool primitive = false;
  if (classified != nullptr) {
    element_type = classified->element_type;
    primitive = classified->primitive;
  } else {
    OvLocalRef<jclass> array_class(env, env->GetObjectClass(array));
    if (!classify(env, array_class.get(), &element_type, &primitive)) return 0;
    // The first array among the elements of the array outside names the
    // class its other array elements are compared with.
    OvArrayElementClass* memo = outer != nullptr ? outer->element_arrays : nullptr;
    if (memo != nullptr && memo->array_class == nullptr) {
      memo->array_class = static_cast<jclass>(env->NewGlobalRef(array_class.get()));
      memo->element_type = element_type;
      memo->primitive = primitive;
    }
  }

  SAFEARRAYBOUND bound;
  bound.cElements = static_cast<ULONG>(env->GetArrayLength(static_cast<jarray>(array)));
  bound.lLbound = 0;
  // No array for the by-reference element types (the platform makes none)
  // or when memory runs out.
  OwnedSafeArray psa(SafeArrayCreate(element_type, 1, &bound));
  if (!psa) {
    ov_throw_dispatch_exception(env, "Cannot create a SAFEARRAY of VARTYPE 0x%x with %d elements.",
                                static_cast<unsigned>(element_type),
                                static_cast<int>(bound.cElements));
    return 0;
  }

  if (primitive) {
    const VARTYPE base = element_type & VT_TYPEMASK;
    const CopyRow* found = nullptr;
    for (const CopyRow& row : kCopyRows) {
      if (row.vt == base) found = &row;
    }
    if (found == nullptr) {
      return refuse_object(
          env, array, "%s is not yet supported (ov_make_array_variant). VARTYPE=%d", element_type);
    }
    if (!found->copy(env, static_cast<jarray>(array), psa.get())) return 0;
  } else if (!ov_put_array_elements(env, static_cast<jobjectArray>(array), bound, psa.get(),
                                    element_type, path)) {
    return 0;
  }
  variant->vt = static_cast<VARTYPE>(element_type | VT_ARRAY);
  variant->parray = psa.release();
  return 1;
}

}  // namespace
