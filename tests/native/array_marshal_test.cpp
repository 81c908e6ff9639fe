// Java arrays <-> SAFEARRAYs: each element type both ways, null elements,
// nested and multi-dimensional arrays, interface elements and their reference
// counts, and the refusals.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "marshal/array_to_safearray.h"
#include "marshal/java_to_variant.h"
#include "marshal/safearray_to_java.h"
#include "marshal/variant_to_java.h"
#include "oleport_testing.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

namespace {

class ArrayMarshalTest : public JvmTest {
 public:
  // Converts a Java array; fails the test when the conversion fails.
  VARIANT to_variant(jobject array) {
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(ov_java_to_variant(env, array, &v), 1) << ov_test_take_exception(env);
    return v;
  }

  // The elements of a one-dimensional array VARIANT, each as text.
  std::vector<std::string> elements(const VARIANT& v) {
    std::vector<std::string> out;
    LONG lb = 0, ub = -1;
    SafeArrayGetLBound(v.parray, 1, &lb);
    SafeArrayGetUBound(v.parray, 1, &ub);
    EXPECT_EQ(lb, 0);
    for (LONG i = lb; i <= ub; ++i) {
      VARIANT e;
      VariantInit(&e);
      const VARTYPE vt = v.vt & VT_TYPEMASK;
      if (vt == VT_VARIANT) {
        SafeArrayGetElement(v.parray, &i, &e);
      } else {
        e.vt = vt;
        SafeArrayGetElement(v.parray, &i, &e.llVal);
      }
      out.push_back(describe(e));
      VariantClear(&e);
    }
    return out;
  }

  static std::string describe(const VARIANT& e) {
    switch (e.vt) {
      case VT_EMPTY:
        return "empty";
      case VT_BOOL:
        return "bool " + std::to_string(e.boolVal);
      case VT_UI1:
        return "ui1 " + std::to_string(e.bVal);
      case VT_I2:
        return "i2 " + std::to_string(e.iVal);
      case VT_I4:
        return "i4 " + std::to_string(e.lVal);
      case VT_I8:
        return "i8 " + std::to_string(e.llVal);
      case VT_R4:
        return "r4 " + std::to_string(e.fltVal);
      case VT_R8:
        return "r8 " + std::to_string(e.dblVal);
      case VT_DATE:
        return "date";
      case VT_BSTR: {
        if (e.bstrVal == nullptr) return "bstr null";
        std::u16string t = bstr_text(e.bstrVal);
        return "bstr " + std::string(t.begin(), t.end());
      }
      case VT_DISPATCH:
        return e.pdispVal == nullptr ? "dispatch null" : "dispatch";
      case VT_UNKNOWN:
        return e.punkVal == nullptr ? "unknown null" : "unknown";
      default:
        if ((e.vt & VT_ARRAY) != 0) {
          LONG ub = -1;
          SafeArrayGetUBound(e.parray, 1, &ub);
          return "array " + std::to_string(e.vt & VT_TYPEMASK) + " of " + std::to_string(ub + 1);
        }
        return "vt " + std::to_string(e.vt);
    }
  }

  jobject primitive_array(const char* kind) {
    const std::string k = kind;
    if (k == "boolean") {
      jbooleanArray a = env->NewBooleanArray(3);
      const jboolean v[] = {JNI_TRUE, JNI_FALSE, JNI_TRUE};
      env->SetBooleanArrayRegion(a, 0, 3, v);
      return a;
    }
    if (k == "byte") {
      jbyteArray a = env->NewByteArray(2);
      const jbyte v[] = {-1, 7};
      env->SetByteArrayRegion(a, 0, 2, v);
      return a;
    }
    if (k == "short") {
      jshortArray a = env->NewShortArray(2);
      const jshort v[] = {-300, 300};
      env->SetShortArrayRegion(a, 0, 2, v);
      return a;
    }
    if (k == "int") {
      jintArray a = env->NewIntArray(3);
      const jint v[] = {1, -2, 3};
      env->SetIntArrayRegion(a, 0, 3, v);
      return a;
    }
    if (k == "long") {
      jlongArray a = env->NewLongArray(1);
      const jlong v[] = {jlong{1} << 40};
      env->SetLongArrayRegion(a, 0, 1, v);
      return a;
    }
    if (k == "float") {
      jfloatArray a = env->NewFloatArray(2);
      const jfloat v[] = {1.5f, -0.25f};
      env->SetFloatArrayRegion(a, 0, 2, v);
      return a;
    }
    jdoubleArray a = env->NewDoubleArray(2);
    const jdouble v[] = {-2.25, 1e300};
    env->SetDoubleArrayRegion(a, 0, 2, v);
    return a;
  }
};

struct ToSafeArrayCase {
  const char* name;
  std::function<jobject(ArrayMarshalTest*, JNIEnv*)> make;
  VARTYPE vt;
  std::vector<std::string> expected;
};

TEST_F(ArrayMarshalTest, JavaArraysBecomeOneDimensionalSafeArrays) {
  const ToSafeArrayCase cases[] = {
      {"boolean[]",
       [](ArrayMarshalTest* t, JNIEnv*) { return t->primitive_array("boolean"); },
       VT_BOOL,
       {"bool 1", "bool 0", "bool 1"}},
      {"byte[]",
       [](ArrayMarshalTest* t, JNIEnv*) { return t->primitive_array("byte"); },
       VT_UI1,
       {"ui1 255", "ui1 7"}},
      {"short[]",
       [](ArrayMarshalTest* t, JNIEnv*) { return t->primitive_array("short"); },
       VT_I2,
       {"i2 -300", "i2 300"}},
      {"int[]",
       [](ArrayMarshalTest* t, JNIEnv*) { return t->primitive_array("int"); },
       VT_I4,
       {"i4 1", "i4 -2", "i4 3"}},
      {"long[]",
       [](ArrayMarshalTest* t, JNIEnv*) { return t->primitive_array("long"); },
       VT_I8,
       {"i8 1099511627776"}},
      {"float[]",
       [](ArrayMarshalTest* t, JNIEnv*) { return t->primitive_array("float"); },
       VT_R4,
       {"r4 1.500000", "r4 -0.250000"}},
      {"double[]",
       [](ArrayMarshalTest* t, JNIEnv*) { return t->primitive_array("double"); },
       VT_R8,
       {"r8 -2.250000", "r8 " + std::to_string(1e300)}},
      {"empty int[]",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject { return e->NewIntArray(0); },
       VT_I4,
       {}},
      {"String[] with null",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/String",
                                  {java_string(e, u"a"), nullptr, java_string(e, u"ccc")});
       },
       VT_BSTR,
       {"bstr a", "bstr null", "bstr ccc"}},
      {"Integer[] with null",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/Integer", {java_integer(e, 5), nullptr});
       },
       VT_I4,
       {"i4 5", "i4 0"}},
      {"Boolean[]",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(
             e, "java/lang/Boolean",
             {java_static_field(e, "java/lang/Boolean", "TRUE", "Ljava/lang/Boolean;"), nullptr});
       },
       VT_BOOL,
       {"bool 1", "bool 0"}},
      {"Byte[]",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/Byte",
                                  {java_new(e, "java/lang/Byte", "(B)V", jbyte{-2})});
       },
       VT_UI1,
       {"ui1 254"}},
      {"Short[]",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/Short",
                                  {java_new(e, "java/lang/Short", "(S)V", jshort{9})});
       },
       VT_I2,
       {"i2 9"}},
      {"Long[]",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/Long",
                                  {java_new(e, "java/lang/Long", "(J)V", jlong{-1})});
       },
       VT_I8,
       {"i8 -1"}},
      {"Float[]",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/Float",
                                  {java_new(e, "java/lang/Float", "(F)V", 0.5)});
       },
       VT_R4,
       {"r4 0.500000"}},
      {"Double[]",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/Double",
                                  {java_new(e, "java/lang/Double", "(D)V", 0.125)});
       },
       VT_R8,
       {"r8 0.125000"}},
      {"Object[] mixed",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/Object",
                                  {java_string(e, u"s"), java_integer(e, 5), nullptr});
       },
       VT_VARIANT,
       {"bstr s", "i4 5", "empty"}},
      {"int[][] jagged",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "[I", {e->NewIntArray(1), e->NewIntArray(2)});
       },
       VT_VARIANT,
       {"array 3 of 1", "array 3 of 2"}},
      {"Date[]",
       [](ArrayMarshalTest*, JNIEnv* e) -> jobject {
         return java_object_array(e, "java/util/Date",
                                  {java_new(e, "java/util/Date", "(J)V", jlong{0})});
       },
       VT_VARIANT,
       {"date"}},
  };
  for (const ToSafeArrayCase& c : cases) {
    SCOPED_TRACE(c.name);
    jobject array = c.make(this, env);
    VARIANT v = to_variant(array);
    EXPECT_EQ(v.vt, VT_ARRAY | c.vt);
    ASSERT_NE(v.parray, nullptr);
    EXPECT_EQ(SafeArrayGetDim(v.parray), 1u);
    EXPECT_EQ(elements(v), c.expected);
    ov_clear_variant(&v, false);  // the harness checks every BSTR and array went with it
  }
}

TEST_F(ArrayMarshalTest, InterfaceArraysHoldTheirOwnReferences) {
  IDispatch* counter = new_counter();
  counter->AddRef();  // ours
  jobject wrapper = java_dispatch_wrapper(env, counter);
  for (const char* component :
       {"com/qel/vandrel/com/win32/IDispatch", "com/qel/vandrel/com/win32/IUnknown"}) {
    SCOPED_TRACE(component);
    VARIANT v = to_variant(java_object_array(env, component, {wrapper, nullptr}));
    EXPECT_EQ(v.vt, std::string(component).find("IDispatch") != std::string::npos
                        ? VT_ARRAY | VT_DISPATCH
                        : VT_ARRAY | VT_UNKNOWN);
    EXPECT_EQ(sample_ref_count(counter), 3u) << "ours, the wrapper's and the array's";
    EXPECT_EQ(elements(v)[1].find("null"), elements(v)[1].size() - 4);
    ov_clear_variant(&v, false);
    EXPECT_EQ(sample_ref_count(counter), 2u);
  }
  java_close(env, wrapper);
  EXPECT_EQ(counter->Release(), 0u);
}

TEST_F(ArrayMarshalTest, RefusedArraysLeaveNothingBehind) {
  const struct {
    const char* name;
    std::function<jobject(JNIEnv*)> make;
    const char* message;
  } cases[] = {
      {"char[]", [](JNIEnv* e) -> jobject { return e->NewCharArray(1); },
       "char is not yet supported."},
      {"RefInt[]",
       [](JNIEnv* e) -> jobject {
         return java_object_array(e, "com/qel/vandrel/com/win32/RefInt", {nullptr});
       },
       "Cannot create a SAFEARRAY of VARTYPE 0x4003 with 1 elements."},
      {"Object[] with a refused element",
       [](JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/Object",
                                  {java_string(e, u"converted first"),
                                   java_new(e, "java/lang/StringBuilder", "(Ljava/lang/String;)V",
                                            java_string(e, u"bad"))});
       },
       "bad is not yet supported."},
      {"nested array with a refused element",
       [](JNIEnv* e) -> jobject {
         return java_object_array(e, "java/lang/Object",
                                  {java_string(e, u"x"), e->NewCharArray(2)});
       },
       "char is not yet supported."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(ov_java_to_variant(env, c.make(env), &v), 0);
    EXPECT_EQ(ov_test_take_exception(env),
              std::string("com.qel.vandrel.com.win32.DispatchException: ") + c.message);
    EXPECT_EQ(v.vt, VT_EMPTY);
  }
}

// SAFEARRAY -> Java.

SAFEARRAY* vector_of(VARTYPE vt, LONG lb, std::vector<VARIANT> values) {
  SAFEARRAY* psa = SafeArrayCreateVector(vt, lb, static_cast<ULONG>(values.size()));
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
    LONG index = lb + i;
    VARIANT& e = values[static_cast<std::size_t>(i)];
    void* p = vt == VT_VARIANT ? static_cast<void*>(&e)
              : vt == VT_BSTR  ? static_cast<void*>(e.bstrVal)
                               : static_cast<void*>(&e.llVal);
    EXPECT_EQ(SafeArrayPutElement(psa, &index, p), S_OK);
    VariantClear(&e);
  }
  return psa;
}

VARIANT number(VARTYPE vt, LONGLONG bits) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  v.llVal = bits;
  return v;
}
VARIANT real(double d) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_R8;
  v.dblVal = d;
  return v;
}
VARIANT single(float f) {
  VARIANT v;
  VariantInit(&v);
  v.llVal = 0;
  v.vt = VT_R4;
  v.fltVal = f;
  return v;
}
VARIANT text(const char16_t* s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = s != nullptr ? SysAllocString(s) : nullptr;
  return v;
}

struct FromSafeArrayCase {
  const char* name;
  std::function<VARIANT()> make;
  const char* java_class;
  const char* deep_text;
};

VARIANT array_variant(VARTYPE vt, SAFEARRAY* psa) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | vt;
  v.parray = psa;
  return v;
}

TEST_F(ArrayMarshalTest, SafeArraysBecomeTypedJavaArrays) {
  const FromSafeArrayCase cases[] = {
      {"VT_I2", [] { return array_variant(VT_I2, vector_of(VT_I2, 0, {number(VT_I2, -5)})); }, "[S",
       "[[-5]]"},
      {"VT_I4 bounds 5..7",
       [] {
         return array_variant(
             VT_I4, vector_of(VT_I4, 5, {number(VT_I4, 50), number(VT_I4, 60), number(VT_I4, 70)}));
       },
       "[I", "[[50, 60, 70]]"},
      {"VT_R4", [] { return array_variant(VT_R4, vector_of(VT_R4, 0, {single(1.5f)})); }, "[F",
       "[[1.5]]"},
      {"VT_R8",
       [] {
         return array_variant(VT_R8, vector_of(VT_R8, -1, {real(-2.25), real(3)}));
       },
       "[D", "[[-2.25, 3.0]]"},
      {"VT_BSTR",
       [] {
         return array_variant(VT_BSTR, vector_of(VT_BSTR, 0, {text(u"x"), text(nullptr)}));
       },
       "[Ljava.lang.String;", "[[x, ]]"},
      {"VT_VARIANT",
       [] {
         return array_variant(VT_VARIANT,
                              vector_of(VT_VARIANT, 0, {number(VT_I4, 5), text(u"x"), VARIANT{}}));
       },
       "[Ljava.lang.Object;", "[[5, x, null]]"},
      {"VT_I1", [] { return array_variant(VT_I1, vector_of(VT_I1, 0, {number(VT_I1, 0xFF)})); },
       "[B", "[[-1]]"},
      {"VT_I8",
       [] { return array_variant(VT_I8, vector_of(VT_I8, 0, {number(VT_I8, LONGLONG{1} << 40)})); },
       "[J", "[[1099511627776]]"},
      {"VT_INT", [] { return array_variant(VT_INT, vector_of(VT_INT, 0, {number(VT_INT, -3)})); },
       "[I", "[[-3]]"},
      {"empty", [] { return array_variant(VT_I4, SafeArrayCreateVector(VT_I4, 3, 0)); }, "[I",
       "[[]]"},
      {"jagged",
       [] {
         return array_variant(
             VT_VARIANT,
             vector_of(VT_VARIANT, 0,
                       {array_variant(VT_I4, vector_of(VT_I4, 0, {number(VT_I4, 1)})),
                        array_variant(VT_I4,
                                      vector_of(VT_I4, 0, {number(VT_I4, 1), number(VT_I4, 2)}))}));
       },
       "[Ljava.lang.Object;", "[[[1], [1, 2]]]"},
      {"bare VT_SAFEARRAY of BSTR",
       [] {
         VARIANT v;
         VariantInit(&v);
         v.vt = VT_SAFEARRAY;
         v.parray = vector_of(VT_BSTR, 0, {text(u"s")});
         return v;
       },
       "[Ljava.lang.String;", "[[s]]"},
  };
  for (const FromSafeArrayCase& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v = c.make();
    jobject result = ov_variant_to_java(env, nullptr, &v);
    ASSERT_EQ(ov_test_take_exception(env), "");
    EXPECT_EQ(java_class_name(env, result), c.java_class);
    EXPECT_EQ(java_deep_text(env, result), c.deep_text);
    ov_clear_variant(&v, false);
  }
}

// A SAFEARRAY with the given bounds (dimension 1 first) whose element at
// indices (i1, i2, ...) is 100 * (i1 - lb1) + (i2 - lb2) ... as doubles.
SAFEARRAY* numbered(std::vector<SAFEARRAYBOUND> bounds) {
  SAFEARRAY* psa = SafeArrayCreate(VT_R8, static_cast<UINT>(bounds.size()), bounds.data());
  std::vector<LONG> index(bounds.size());
  std::function<void(std::size_t)> fill = [&](std::size_t d) {
    if (d == bounds.size()) {
      double value = 0;
      for (std::size_t k = 0; k < bounds.size(); ++k) {
        value = value * 100 + (index[k] - bounds[k].lLbound);
      }
      EXPECT_EQ(SafeArrayPutElement(psa, index.data(), &value), S_OK);
      return;
    }
    for (ULONG i = 0; i < bounds[d].cElements; ++i) {
      index[d] = bounds[d].lLbound + static_cast<LONG>(i);
      fill(d + 1);
    }
  };
  fill(0);
  return psa;
}

TEST_F(ArrayMarshalTest, MultiDimensionalArraysNestDimensionOneOutermost) {
  SAFEARRAYBOUND two[] = {{2, 1}, {3, -1}};
  VARIANT v = array_variant(VT_R8, numbered({two[0], two[1]}));
  jobject result = ov_variant_to_java(env, nullptr, &v);
  ASSERT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(java_class_name(env, result), "[[D");
  EXPECT_EQ(java_deep_text(env, result), "[[[0.0, 1.0, 2.0], [100.0, 101.0, 102.0]]]");
  ov_clear_variant(&v, false);

  VARIANT three = array_variant(VT_R8, numbered({{2, 0}, {1, 5}, {2, 0}}));
  result = ov_variant_to_java(env, nullptr, &three);
  EXPECT_EQ(java_class_name(env, result), "[[[D");
  EXPECT_EQ(java_deep_text(env, result), "[[[[0.0, 1.0]], [[10000.0, 10001.0]]]]");
  ov_clear_variant(&three, false);
}

TEST_F(ArrayMarshalTest, DimensionCountsAtAndBeyondTheJavaLimit) {
  for (UINT dims : {255u, 256u}) {
    SCOPED_TRACE(dims);
    std::vector<SAFEARRAYBOUND> bounds(dims, SAFEARRAYBOUND{1, 0});
    VARIANT v = array_variant(VT_I4, SafeArrayCreate(VT_I4, dims, bounds.data()));
    ASSERT_NE(v.parray, nullptr);
    const long arrays_with_ours = oleport_live_safearray_count();
    jobject result = ov_variant_to_java(env, nullptr, &v);
    if (dims == 255) {
      ASSERT_EQ(ov_test_take_exception(env), "");
      EXPECT_EQ(java_class_name(env, result), std::string(255, '[') + "I");
    } else {
      EXPECT_EQ(result, nullptr);
      jthrowable thrown = env->ExceptionOccurred();
      ASSERT_NE(thrown, nullptr);
      env->ExceptionClear();
      EXPECT_EQ(ov_test_describe_throwable(env, thrown),
                "com.qel.vandrel.com.win32.DispatchVariant2JavaException: A SAFEARRAY of 256 "
                "dimensions has no Java array type (at most 255).");
      EXPECT_EQ(oleport_live_safearray_count(), arrays_with_ours + 1) << "an owned copy";
      java_release_variant(env, thrown);
    }
    ov_clear_variant(&v, false);
  }
}

TEST_F(ArrayMarshalTest, UnsupportedElementTypes) {
  // One dimension: refused with the array attached; two: null, no exception.
  VARIANT one = array_variant(VT_BOOL, SafeArrayCreateVector(VT_BOOL, 0, 2));
  EXPECT_EQ(ov_variant_to_java(env, nullptr, &one), nullptr);
  jthrowable thrown = env->ExceptionOccurred();
  ASSERT_NE(thrown, nullptr);
  env->ExceptionClear();
  EXPECT_EQ(
      ov_test_describe_throwable(env, thrown),
      "com.qel.vandrel.com.win32.DispatchVariant2JavaException: Not supported VT_ARRAY type.");
  java_release_variant(env, thrown);
  ov_clear_variant(&one, false);

  SAFEARRAYBOUND bounds[] = {{2, 0}, {2, 0}};
  VARIANT two = array_variant(VT_BOOL, SafeArrayCreate(VT_BOOL, 2, bounds));
  EXPECT_EQ(ov_variant_to_java(env, nullptr, &two), nullptr);
  EXPECT_EQ(ov_test_take_exception(env), "");
  ov_clear_variant(&two, false);
}

TEST_F(ArrayMarshalTest, InterfaceElementsAndAFailureHalfWay) {
  IDispatch* automation = new_automation();
  jobject receiver = java_dispatch_wrapper(env, automation);
  IDispatch* counter = new_counter();
  VARIANT element;
  VariantInit(&element);
  element.vt = VT_DISPATCH;
  element.pdispVal = counter;  // the array takes this reference over below
  VARIANT cy;
  VariantInit(&cy);
  cy.vt = VT_CY;
  cy.cyVal.int64 = 1;

  // Converted: the wrapper holds the reference the element read added.
  VARIANT good = array_variant(VT_VARIANT, vector_of(VT_VARIANT, 0, {element}));
  EXPECT_EQ(sample_ref_count(counter), 1u);
  jobject result = ov_variant_to_java(env, receiver, &good);
  ASSERT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(sample_ref_count(counter), 2u);
  auto wrapper = env->GetObjectArrayElement(static_cast<jobjectArray>(result), 0);
  EXPECT_EQ(java_resource_ptr(env, wrapper), ov_to_handle(counter));
  java_close(env, wrapper);
  EXPECT_EQ(sample_ref_count(counter), 1u);

  // Failing on the second element: the first element's wrapper is released
  // through Java and the conversion exception is what remains pending.
  counter->AddRef();
  element.vt = VT_DISPATCH;
  element.pdispVal = counter;
  VARIANT bad = array_variant(VT_VARIANT, vector_of(VT_VARIANT, 0, {element, cy}));
  EXPECT_EQ(sample_ref_count(counter), 2u);
  EXPECT_EQ(ov_variant_to_java(env, receiver, &bad), nullptr);
  jthrowable thrown = env->ExceptionOccurred();
  ASSERT_NE(thrown, nullptr);
  env->ExceptionClear();
  EXPECT_EQ(ov_test_describe_throwable(env, thrown),
            "com.qel.vandrel.com.win32.DispatchVariant2JavaException: VT_CY is not yet supported.");
  java_release_variant(env, thrown);
  EXPECT_EQ(sample_ref_count(counter), 2u) << "the wrapper made on the way was closed";

  ov_clear_variant(&bad, false);
  ov_clear_variant(&good, false);
  java_close(env, receiver);
}

TEST_F(ArrayMarshalTest, AnInterfaceElementWhoseAddRefFaultsStopsTheConversion) {
  IDispatch* automation = new_automation();
  jobject receiver = java_dispatch_wrapper(env, automation);
  IUnknown* faulty = nullptr;  // every method but Release faults
  ASSERT_EQ(CoCreateInstance(CLSID_SampleFaultyCalls, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&faulty)),
            S_OK);
  IDispatch* counter = new_counter();
  // The array takes both references over, without calling the objects.
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  VARIANT* elements = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&elements)), S_OK);
  elements[0].vt = VT_DISPATCH;
  elements[0].pdispVal = counter;
  elements[1].vt = VT_UNKNOWN;
  elements[1].punkVal = faulty;
  SafeArrayUnaccessData(psa);
  VARIANT array = array_variant(VT_VARIANT, psa);

  EXPECT_EQ(ov_variant_to_java(env, receiver, &array), nullptr);
  EXPECT_EQ(ov_test_take_exception(env),
            "com.qel.vandrel.com.win32.DispatchException: Access Violation");
  EXPECT_EQ(sample_ref_count(counter), 1u) << "the first element's wrapper gave its reference back";
  ov_clear_variant(&array, false);
  java_close(env, receiver);
}

}  // namespace
