#include "marshal/java_to_variant.h"

#include <cstdint>
#include <limits>

#include "marshal/array_to_safearray.h"
#include "runtime/calendar.h"
#include "runtime/class_cache.h"
#include "runtime/com_refs.h"
#include "runtime/errors.h"
#include "runtime/handle.h"
#include "runtime/jni_refs.h"
#include "runtime/variant_clear.h"
#include "runtime/wrappers.h"

namespace {

// Writes vt and the payload of one row; 1, or 0 with a Java exception pending.
// A value accessor that throws (a closed wrapper's getPtr, say) leaves the
// JNI call's 0 in the payload; ov_java_to_variant then restores vt and reports
// the failure, so no caller goes on to COM with an exception pending.
using PayloadWriter = int (*)(JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out);

struct ClassRow {
  jclass OvClassCache::*java_class;
  VARTYPE vt;
  PayloadWriter write;
};

// The characters go straight from the string into the new BSTR (one region
// read, no copy of the VM's own in between).
int write_bstr(JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
  const auto text = static_cast<jstring>(value);
  const jsize length = env->GetStringLength(text);
  // A zero-length string still gets a (non-null) BSTR.
  BSTR bstr = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (bstr == nullptr) {
    ov_throw_java_lang(env, "OutOfMemoryError", "no memory for a BSTR");
    return 0;
  }
  static_assert(sizeof(OLECHAR) == sizeof(jchar), "UTF-16 both sides");
  env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(bstr));
  out->vt = vt;
  out->bstrVal = bstr;
  return 1;
}

// Interface wrappers and Ref cells: the pointer the Java object carries,
// borrowed (no AddRef; a cell stays RefContainer's).
int write_interface(JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
  out->vt = vt;
  out->punkVal = ov_from_handle<IUnknown>(ov_get_resource_ptr(env, value));
  return env->ExceptionCheck() ? 0 : 1;
}

int write_cell(JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
  out->vt = vt;
  out->byref = ov_from_handle<void>(ov_get_resource_ptr(env, value));
  return env->ExceptionCheck() ? 0 : 1;
}

int write_date(JNIEnv* env, jobject value, VARTYPE, VARIANT* out) {
  return ov_date_to_variant_time(env, value, out);
}

int write_missing(JNIEnv*, jobject, VARTYPE vt, VARIANT* out) {
  out->vt = vt;
  out->scode = DISP_E_PARAMNOTFOUND;
  return 1;
}

// The value of a box: its `value` field when the cache has it (a field read,
// no call into Java, nothing to throw), otherwise its accessor.
template <class T>
struct BoxRead {
  jfieldID OvClassCache::*field;
  T (JNIEnv::*get_field)(jobject, jfieldID);
  jmethodID OvClassCache::*accessor;
  T (JNIEnv::*call)(jobject, jmethodID, ...);

  // False when the accessor threw.
  bool operator()(JNIEnv* env, jobject box, T* value) const {
    if (jfieldID id = ov_cache.*field) {
      *value = (env->*get_field)(box, id);
      return true;
    }
    *value = (env->*call)(box, ov_cache.*accessor);
    return !env->ExceptionCheck();
  }
};

constexpr BoxRead<jboolean> kBooleanRead{&OvClassCache::booleanField, &JNIEnv::GetBooleanField,
                                         &OvClassCache::booleanValue, &JNIEnv::CallBooleanMethod};
constexpr BoxRead<jbyte> kByteRead{&OvClassCache::byteField, &JNIEnv::GetByteField,
                                   &OvClassCache::byteValue, &JNIEnv::CallByteMethod};
constexpr BoxRead<jshort> kShortRead{&OvClassCache::shortField, &JNIEnv::GetShortField,
                                     &OvClassCache::shortValue, &JNIEnv::CallShortMethod};
constexpr BoxRead<jint> kIntRead{&OvClassCache::integerField, &JNIEnv::GetIntField,
                                 &OvClassCache::intValue, &JNIEnv::CallIntMethod};
constexpr BoxRead<jlong> kLongRead{&OvClassCache::longField, &JNIEnv::GetLongField,
                                   &OvClassCache::longValue, &JNIEnv::CallLongMethod};
constexpr BoxRead<jfloat> kFloatRead{&OvClassCache::floatField, &JNIEnv::GetFloatField,
                                     &OvClassCache::floatValue, &JNIEnv::CallFloatMethod};
constexpr BoxRead<jdouble> kDoubleRead{&OvClassCache::doubleField, &JNIEnv::GetDoubleField,
                                       &OvClassCache::doubleValue, &JNIEnv::CallDoubleMethod};

// A class of each kind of object the table accepts matches one row only,
// with two exceptions that decide the order: an object that is both an
// IDispatch and an IUnknown becomes VT_DISPATCH, and a subclass of Date (or
// any other class) that implements IDispatch or IUnknown becomes the
// interface. The boxes, String, the Ref cells and Missing are final and
// implement neither, so their rows may come anywhere; the common argument
// types come first, since every row tried costs a JNI call. Arrays match
// no row.
constexpr ClassRow kClassRows[] = {
    {&OvClassCache::string, VT_BSTR, write_bstr},
    {&OvClassCache::integerClass, VT_I4,
     [](JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
       out->vt = vt;
       jint i = 0;  // LONG is `long` on Windows, a distinct type from jint
       const bool read = kIntRead(env, value, &i);
       out->lVal = i;
       return read ? 1 : 0;
     }},
    {&OvClassCache::doubleClass, VT_R8,
     [](JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
       out->vt = vt;
       return kDoubleRead(env, value, &out->dblVal) ? 1 : 0;
     }},
    {&OvClassCache::booleanClass, VT_BOOL,
     [](JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
       out->vt = vt;
       jboolean b = JNI_FALSE;
       const bool read = kBooleanRead(env, value, &b);
       out->boolVal = b ? 1 : 0;  // true is stored as 1, not as VARIANT_TRUE
       return read ? 1 : 0;
     }},
    {&OvClassCache::iDispatch, VT_DISPATCH, write_interface},
    {&OvClassCache::iUnknown, VT_UNKNOWN, write_interface},
    {&OvClassCache::longClass, VT_I8,
     [](JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
       out->vt = vt;
       return kLongRead(env, value, &out->llVal) ? 1 : 0;
     }},
    {&OvClassCache::shortClass, VT_I2,
     [](JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
       out->vt = vt;
       return kShortRead(env, value, &out->iVal) ? 1 : 0;
     }},
    {&OvClassCache::byteClass, VT_UI1,
     [](JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
       out->vt = vt;
       jbyte b = 0;
       const bool read = kByteRead(env, value, &b);
       out->bVal = static_cast<BYTE>(b);  // the 8 bits: -1 is 255
       return read ? 1 : 0;
     }},
    {&OvClassCache::floatClass, VT_R4,
     [](JNIEnv* env, jobject value, VARTYPE vt, VARIANT* out) {
       out->vt = vt;
       return kFloatRead(env, value, &out->fltVal) ? 1 : 0;
     }},
    {&OvClassCache::refString, VT_BYREF | VT_BSTR, write_cell},
    {&OvClassCache::refInt, VT_BYREF | VT_I4, write_cell},
    {&OvClassCache::refByte, VT_BYREF | VT_UI1, write_cell},
    {&OvClassCache::refShort, VT_BYREF | VT_I2, write_cell},
    {&OvClassCache::refLong, VT_BYREF | VT_I8, write_cell},
    {&OvClassCache::refDouble, VT_BYREF | VT_R8, write_cell},
    {&OvClassCache::refFloat, VT_BYREF | VT_R4, write_cell},
    {&OvClassCache::date, VT_DATE, write_date},
    {&OvClassCache::missing, VT_ERROR, write_missing},
};

// Throws DispatchException "<text of value> <suffix>"; the text comes from the
// value's toString(). Returns 0 for the caller to pass on.
int refuse_value(JNIEnv* env, jobject value, const char* format) {
  OvMallocPtr<OLECHAR> text(ov_to_wide_string(env, value));
  if (!text) return 0;  // toString() failed; its exception is pending
  ov_throw_dispatch_exception(env, format, text.get());
  return 0;
}

bool fits_word(jint value) {
  return value >= 0 && value <= std::numeric_limits<WORD>::max();
}

}  // namespace

int ov_java_to_variant(JNIEnv* env, jobject value, VARIANT* variant) {
  return ov_java_to_variant(env, value, variant, nullptr);
}

int ov_java_to_variant(JNIEnv* env, jobject value, VARIANT* variant, const OvJavaArrayPath* outer) {
  if (value == nullptr) {
    variant->vt = VT_EMPTY;
    return 1;
  }
  for (const ClassRow& row : kClassRows) {
    if (env->IsInstanceOf(value, ov_cache.*row.java_class)) {
      const VARTYPE before = variant->vt;
      if (row.write(env, value, row.vt, variant)) return 1;
      variant->vt = before;  // the payload written, if any, owns nothing
      return 0;
    }
  }
  // No row holds for an array, so asking the class comes after the table:
  // the answer is the same as asking first, without a call into Java for
  // every other value.
  bool is_array = false;
  {
    OvLocalRef<jclass> value_class(env, env->GetObjectClass(value));
    is_array = env->CallBooleanMethod(value_class.get(), ov_cache.isArray);
    if (env->ExceptionCheck()) return 0;
  }
  if (is_array) return ov_make_array_variant(env, value, variant, outer);
  return refuse_value(env, value, "%s is not yet supported.");
}

int ov_clear_variant(VARIANT* variant, bool clear_interfaces) {
  bool faulted = false;
  return ov_clear_variant(variant, clear_interfaces, &faulted);
}

int ov_clear_variant(VARIANT* variant, bool clear_interfaces, bool* faulted) {
  if (!clear_interfaces && (variant->vt == VT_DISPATCH || variant->vt == VT_UNKNOWN)) return 1;
  bool clean = true;
  if (variant->vt == VT_SAFEARRAY) {
    // A bare SAFEARRAY pointer is no legal VARIANT type and VariantClear
    // refuses it; the array is destroyed here so it does not leak.
    SAFEARRAY* psa = variant->parray;
    variant->vt = VT_EMPTY;
    clean = ov_safearray_destroy_guarded(psa);
  } else {
    clean = ov_variant_clear_guarded(variant);
  }
  if (!clean) *faulted = true;
  return 1;
}

int ov_date_to_variant_time(JNIEnv* env, jobject date, VARIANT* variant) {
  jint fields[7];
  ov_date_to_fields(env, date, fields);
  if (env->ExceptionCheck()) return 0;
  const jint year = fields[0], month = fields[1] + 1;  // Calendar months count from 0
  // OLE dates run from 1 January 100 to 31 December 9999. Checked here rather
  // than left to SystemTimeToVariantTime alone: the platform reads some years
  // below 100 as two-digit years of the 20th century. Years before the
  // Christian era come as 0 and below, so they are refused here too.
  bool in_range = year >= 100 && year <= 9999;
  for (int i = 1; i < 7; ++i) in_range = in_range && fits_word(fields[i] + (i == 1 ? 1 : 0));
  SYSTEMTIME st{};
  DATE converted = 0;
  if (in_range) {
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(fields[2]);
    st.wHour = static_cast<WORD>(fields[3]);
    st.wMinute = static_cast<WORD>(fields[4]);
    st.wSecond = static_cast<WORD>(fields[5]);
    st.wMilliseconds = static_cast<WORD>(fields[6]);
    in_range = SystemTimeToVariantTime(&st, &converted) != 0;
  }
  if (!in_range) {
    return refuse_value(env, date, "The date %s is outside the range of the OLE date type.");
  }
  variant->vt = VT_DATE;
  variant->date = converted;
  return 1;
}
