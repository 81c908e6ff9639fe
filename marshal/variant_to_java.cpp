#include "marshal/variant_to_java.h"

#include "marshal/safearray_to_java.h"
#include "runtime/calendar.h"
#include "runtime/class_cache.h"
#include "runtime/errors.h"
#include "runtime/wrappers.h"

namespace {

// Types that become a new boxed object through a cached constructor.
struct BoxRow {
  VARTYPE vt;
  jclass OvClassCache::*box_class;
  jmethodID OvClassCache::*constructor;
  jvalue (*argument)(const VARIANT& v);
};

jvalue as_short(jshort s) {
  jvalue j;
  j.s = s;
  return j;
}
jvalue as_int(jint i) {
  jvalue j;
  j.i = i;
  return j;
}
jvalue as_long(jlong l) {
  jvalue j;
  j.j = l;
  return j;
}
jvalue as_byte(jbyte b) {
  jvalue j;
  j.b = b;
  return j;
}

constexpr BoxRow kBoxRows[] = {
    {VT_I2, &OvClassCache::shortClass, &OvClassCache::shortInit,
     [](const VARIANT& v) { return as_short(v.iVal); }},
    {VT_I4, &OvClassCache::integerClass, &OvClassCache::integerInit,
     [](const VARIANT& v) { return as_int(v.lVal); }},
    {VT_R4, &OvClassCache::floatClass, &OvClassCache::floatInit,
     [](const VARIANT& v) {
       jvalue j;
       j.f = v.fltVal;
       return j;
     }},
    {VT_R8, &OvClassCache::doubleClass, &OvClassCache::doubleInit,
     [](const VARIANT& v) {
       jvalue j;
       j.d = v.dblVal;
       return j;
     }},
    {VT_BOOL, &OvClassCache::booleanClass, &OvClassCache::booleanInit,
     [](const VARIANT& v) {
       jvalue j;
       j.z = v.boolVal != 0 ? JNI_TRUE : JNI_FALSE;  // any non-zero value is true
       return j;
     }},
    {VT_I1, &OvClassCache::byteClass, &OvClassCache::byteInit,
     [](const VARIANT& v) { return as_byte(static_cast<jbyte>(v.cVal)); }},
    {VT_UI1, &OvClassCache::byteClass, &OvClassCache::byteInit,
     [](const VARIANT& v) { return as_byte(static_cast<jbyte>(v.bVal)); }},  // 200 -> -56
    {VT_UI2, &OvClassCache::longClass, &OvClassCache::longInit,
     [](const VARIANT& v) { return as_long(v.uiVal); }},
    {VT_UI4, &OvClassCache::longClass, &OvClassCache::longInit,
     [](const VARIANT& v) { return as_long(static_cast<jlong>(v.ulVal)); }},
    {VT_I8, &OvClassCache::longClass, &OvClassCache::longInit,
     [](const VARIANT& v) { return as_long(v.llVal); }},
    {VT_INT, &OvClassCache::integerClass, &OvClassCache::integerInit,
     [](const VARIANT& v) { return as_int(v.intVal); }},
    {VT_UINT, &OvClassCache::longClass, &OvClassCache::longInit,
     [](const VARIANT& v) { return as_long(static_cast<jlong>(v.uintVal)); }},
};

// Types with a conversion of their own.
struct ConversionRow {
  VARTYPE vt;
  jobject (*convert)(JNIEnv* env, jobject receiver, const VARIANT* v);
};

const jchar kNoChars[1] = {0};

jobject refuse(JNIEnv* env, const VARIANT* v, const char* message) {
  ov_throw_conversion_exception(env, v, message);
  return nullptr;
}

constexpr ConversionRow kConversionRows[] = {
    {VT_EMPTY, [](JNIEnv*, jobject, const VARIANT*) -> jobject { return nullptr; }},
    {VT_NULL, [](JNIEnv*, jobject, const VARIANT*) -> jobject { return nullptr; }},
    {VT_CY, [](JNIEnv* env, jobject,
               const VARIANT* v) { return refuse(env, v, "VT_CY is not yet supported."); }},
    {VT_DATE,
     [](JNIEnv* env, jobject, const VARIANT* v) { return ov_variant_time_to_date(env, v->date); }},
    {VT_BSTR,
     [](JNIEnv* env, jobject, const VARIANT* v) -> jobject {
       // Exactly SysStringLen units: embedded zeros stay; a null BSTR is "".
       const BSTR bstr = v->bstrVal;
       const UINT length = SysStringLen(bstr);
       return env->NewString(bstr != nullptr ? reinterpret_cast<const jchar*>(bstr) : kNoChars,
                             static_cast<jsize>(length));
     }},
    {VT_DISPATCH,
     [](JNIEnv* env, jobject receiver, const VARIANT* v) {
       return ov_new_idispatch_object(env, receiver, v->pdispVal);
     }},
    {VT_ERROR,
     [](JNIEnv* env, jobject, const VARIANT* v) { return ov_get_error_object(env, v->scode); }},
    {VT_UNKNOWN,
     [](JNIEnv* env, jobject receiver, const VARIANT* v) {
       return ov_new_iunknown_object(env, receiver, v->punkVal);
     }},
};

// A bare SAFEARRAY pointer: read as the array VARIANT it stands for. Not
// inlined, like scalar_to_java.
[[gnu::noinline]] jobject bare_safearray_to_java(JNIEnv* env, jobject receiver, const VARIANT* v,
                                                 int outer_levels) {
  VARTYPE element_type = VT_EMPTY;
  if (FAILED(SafeArrayGetVartype(v->parray, &element_type))) {
    return refuse(env, v, "Not supported VT_ARRAY type.");
  }
  VARIANT array;
  VariantInit(&array);
  array.vt = static_cast<VARTYPE>(element_type | VT_ARRAY);
  array.parray = v->parray;
  return ov_safearray_to_java(env, receiver, &array, outer_levels);
}

// Everything but arrays, by the two tables. Kept out of ov_variant_to_java,
// which nested arrays pass through once per level, so that its frame stays
// small.
[[gnu::noinline]] jobject scalar_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant) {
  const VARTYPE vt = variant->vt;
  for (const BoxRow& row : kBoxRows) {
    if (row.vt == vt) {
      const jvalue argument = row.argument(*variant);
      return env->NewObjectA(ov_cache.*row.box_class, ov_cache.*row.constructor, &argument);
    }
  }
  for (const ConversionRow& row : kConversionRows) {
    if (row.vt == vt) return row.convert(env, receiver, variant);
  }
  ov_throw_conversion_exception(env, variant, "Unexpected variant type:%x.",
                                static_cast<unsigned>(vt));
  return nullptr;
}

}  // namespace

jobject ov_variant_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant) {
  return ov_variant_to_java(env, receiver, variant, 0);
}

jobject ov_variant_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant,
                           int outer_levels) {
  const VARTYPE vt = variant->vt;
  // By-reference VARIANTs are never followed, array ones included (their
  // payload is a pointer to a SAFEARRAY pointer).
  if ((vt & VT_BYREF) != 0) return refuse(env, variant, "VT_BYREF is not yet supported.");
  if ((vt & VT_ARRAY) != 0) return ov_safearray_to_java(env, receiver, variant, outer_levels);
  if (vt == VT_SAFEARRAY) return bare_safearray_to_java(env, receiver, variant, outer_levels);
  return scalar_to_java(env, receiver, variant);
}

jobject ov_variant_time_to_date(JNIEnv* env, DATE date) {
  SYSTEMTIME st;
  if (!VariantTimeToSystemTime(date, &st)) return nullptr;
  return ov_fields_to_date(env, st.wYear, st.wMonth - 1, st.wDay, st.wHour, st.wMinute, st.wSecond,
                           st.wMilliseconds);
}
