// VARIANT -> Java value (ov_variant_to_java): one row per vt of the table,
// interface results and the refusals with their attached VARIANT copies.
#include <cstring>
#include <functional>
#include <string>

#include "marshal/variant_to_java.h"
#include "oleport_testing.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

namespace {

class VariantToJavaTest : public JvmTest {};

struct ValueCase {
  const char* name;
  std::function<void(VARIANT*)> fill;
  const char* java_class;  // "<null>" for a null result
  const char* text;        // String.valueOf of the result
};

VARIANT make(const std::function<void(VARIANT*)>& fill) {
  VARIANT v;
  std::memset(&v, 0, sizeof v);
  VariantInit(&v);
  fill(&v);
  return v;
}

TEST_F(VariantToJavaTest, EachTypeOfTheTableBecomesItsJavaValue) {
  const ValueCase cases[] = {
      {"VT_EMPTY", [](VARIANT*) {}, "<null>", "null"},
      {"VT_NULL", [](VARIANT* v) { v->vt = VT_NULL; }, "<null>", "null"},
      {"VT_I2", [](VARIANT* v) { v->vt = VT_I2, v->iVal = -1234; }, "java.lang.Short", "-1234"},
      {"VT_I4", [](VARIANT* v) { v->vt = VT_I4, v->lVal = -123456789; }, "java.lang.Integer",
       "-123456789"},
      {"VT_R4", [](VARIANT* v) { v->vt = VT_R4, v->fltVal = 1.5f; }, "java.lang.Float", "1.5"},
      {"VT_R8", [](VARIANT* v) { v->vt = VT_R8, v->dblVal = -2.25; }, "java.lang.Double", "-2.25"},
      {"VT_BSTR", [](VARIANT* v) { v->vt = VT_BSTR, v->bstrVal = SysAllocStringLen(u"a\0b", 3); },
       "java.lang.String", "(checked as UTF-16)"},
      {"VT_BSTR null", [](VARIANT* v) { v->vt = VT_BSTR, v->bstrVal = nullptr; },
       "java.lang.String", ""},
      {"VT_DISPATCH null", [](VARIANT* v) { v->vt = VT_DISPATCH, v->pdispVal = nullptr; }, "<null>",
       "null"},
      {"VT_UNKNOWN null", [](VARIANT* v) { v->vt = VT_UNKNOWN, v->punkVal = nullptr; }, "<null>",
       "null"},
      {"VT_ERROR missing",
       [](VARIANT* v) { v->vt = VT_ERROR, v->scode = static_cast<SCODE>(0x80020004); },
       "com.qel.vandrel.com.win32.Missing", "Missing"},
      {"VT_ERROR E_FAIL", [](VARIANT* v) { v->vt = VT_ERROR, v->scode = E_FAIL; },
       "com.qel.vandrel.com.win32.ComError", "ComError(0x80004005)"},
      {"VT_BOOL 1", [](VARIANT* v) { v->vt = VT_BOOL, v->boolVal = 1; }, "java.lang.Boolean",
       "true"},
      {"VT_BOOL -1", [](VARIANT* v) { v->vt = VT_BOOL, v->boolVal = VARIANT_TRUE; },
       "java.lang.Boolean", "true"},
      {"VT_BOOL 0x100", [](VARIANT* v) { v->vt = VT_BOOL, v->boolVal = 0x100; },
       "java.lang.Boolean", "true"},
      {"VT_BOOL 0", [](VARIANT* v) { v->vt = VT_BOOL, v->boolVal = 0; }, "java.lang.Boolean",
       "false"},
      {"VT_I1", [](VARIANT* v) { v->vt = VT_I1, v->cVal = -1; }, "java.lang.Byte", "-1"},
      {"VT_UI1 200", [](VARIANT* v) { v->vt = VT_UI1, v->bVal = 200; }, "java.lang.Byte", "-56"},
      {"VT_UI2", [](VARIANT* v) { v->vt = VT_UI2, v->uiVal = 65535; }, "java.lang.Long", "65535"},
      {"VT_UI4", [](VARIANT* v) { v->vt = VT_UI4, v->ulVal = 0xFFFFFFFFu; }, "java.lang.Long",
       "4294967295"},
      {"VT_I8", [](VARIANT* v) { v->vt = VT_I8, v->llVal = -1234567890123LL; }, "java.lang.Long",
       "-1234567890123"},
      {"VT_INT", [](VARIANT* v) { v->vt = VT_INT, v->intVal = -42; }, "java.lang.Integer", "-42"},
      {"VT_UINT", [](VARIANT* v) { v->vt = VT_UINT, v->uintVal = 3000000000u; }, "java.lang.Long",
       "3000000000"},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v = make(c.fill);
    jobject value = ov_variant_to_java(env, nullptr, &v);
    EXPECT_EQ(ov_test_take_exception(env), "");
    EXPECT_EQ(java_class_name(env, value), c.java_class);
    if (std::string(c.name) == "VT_BSTR") {
      EXPECT_EQ(java_text(env, static_cast<jstring>(value)), std::u16string(u"a\0b", 3));
    } else {
      EXPECT_EQ(java_to_string(env, value), c.text);
    }
    VariantClear(&v);
  }
}

TEST_F(VariantToJavaTest, BoxesAreNewObjects) {
  VARIANT v = make([](VARIANT* x) { x->vt = VT_I4, x->lVal = 1; });
  jobject a = ov_variant_to_java(env, nullptr, &v);
  jobject b = ov_variant_to_java(env, nullptr, &v);
  EXPECT_FALSE(env->IsSameObject(a, b));
}

TEST_F(VariantToJavaTest, InterfacesBecomeWrappersTakingTheReference) {
  IDispatch* automation = new_automation();
  jobject receiver = java_dispatch_wrapper(env, automation);
  IDispatch* counter = new_counter();
  counter->AddRef();  // ours
  VARIANT v = make([&](VARIANT* x) { x->vt = VT_DISPATCH, x->pdispVal = counter; });
  jobject wrapper = ov_variant_to_java(env, receiver, &v);
  ASSERT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(java_class_name(env, wrapper), "com.qel.vandrel.com.win32.impl.IDispatchImpl");
  EXPECT_EQ(java_resource_ptr(env, wrapper), ov_to_handle(counter));
  EXPECT_EQ(sample_ref_count(counter), 2u) << "no AddRef: the wrapper took the VARIANT's";
  java_close(env, wrapper);

  counter->AddRef();
  v = make([&](VARIANT* x) { x->vt = VT_UNKNOWN, x->punkVal = counter; });
  wrapper = ov_variant_to_java(env, receiver, &v);
  ASSERT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(java_class_name(env, wrapper), "com.qel.vandrel.com.win32.impl.IUnknownImpl");
  java_close(env, wrapper);
  EXPECT_EQ(counter->Release(), 0u);
  java_close(env, receiver);
}

struct RefusalCase {
  const char* name;
  std::function<void(VARIANT*)> fill;
  const char* message;
};

TEST_F(VariantToJavaTest, RefusalsCarryAnOwnedCopyOfTheVariant) {
  static LONG cell = 5;
  const RefusalCase cases[] = {
      {"VT_CY", [](VARIANT* v) { v->vt = VT_CY, v->cyVal.int64 = 12345678; },
       "VT_CY is not yet supported."},
      {"VT_I4|VT_BYREF", [](VARIANT* v) { v->vt = VT_I4 | VT_BYREF, v->plVal = &cell; },
       "VT_BYREF is not yet supported."},
      {"VT_ARRAY|VT_BYREF",
       [](VARIANT* v) { v->vt = VT_ARRAY | VT_I4 | VT_BYREF, v->byref = &cell; },
       "VT_BYREF is not yet supported."},
      {"VT_DECIMAL", [](VARIANT* v) { v->vt = VT_DECIMAL; }, "Unexpected variant type:e."},
      {"VT_UI8", [](VARIANT* v) { v->vt = VT_UI8, v->ullVal = 1; }, "Unexpected variant type:15."},
      {"VT_VARIANT", [](VARIANT* v) { v->vt = VT_VARIANT; }, "Unexpected variant type:c."},
      {"VT_VECTOR|VT_I4", [](VARIANT* v) { v->vt = VT_VECTOR | VT_I4; },
       "Unexpected variant type:1003."},
      {"VT_ARRAY|VT_UI1",
       [](VARIANT* v) {
         v->vt = VT_ARRAY | VT_UI1, v->parray = SafeArrayCreateVector(VT_UI1, 0, 2);
       },
       "Not supported VT_ARRAY type."},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v = make(c.fill);
    const long arrays_with_ours = oleport_live_safearray_count();
    EXPECT_EQ(ov_variant_to_java(env, nullptr, &v), nullptr);
    jthrowable thrown = env->ExceptionOccurred();
    ASSERT_NE(thrown, nullptr);
    env->ExceptionClear();
    EXPECT_EQ(java_class_name(env, thrown),
              "com.qel.vandrel.com.win32.DispatchVariant2JavaException");
    EXPECT_EQ(java_to_string(env, java_call(env, thrown, "getMessage", "()Ljava/lang/String;")),
              c.message);
    const auto* attached = ov_from_handle<VARIANT>(java_variant_handle(env, thrown));
    ASSERT_NE(attached, nullptr);
    EXPECT_EQ(attached->vt, v.vt);
    if ((v.vt & VT_ARRAY) != 0 && (v.vt & VT_BYREF) == 0) {
      EXPECT_NE(attached->parray, v.parray) << "the exception owns a copy";
      EXPECT_EQ(oleport_live_safearray_count(), arrays_with_ours + 1);
    } else {
      EXPECT_EQ(attached->llVal, v.llVal);
    }
    java_release_variant(env, thrown);
    EXPECT_EQ(oleport_live_safearray_count(), arrays_with_ours);
    VariantClear(&v);
  }
}

}  // namespace
