// Java value -> VARIANT (ov_java_to_variant, ov_clear_variant): one row per
// class of the instance-of sequence, and the refusals.
#include <functional>
#include <iterator>
#include <string>

#include "marshal/java_to_variant.h"
#include "runtime/class_cache.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

namespace {

class JavaToVariantTest : public JvmTest {};

struct ScalarCase {
  const char* name;
  std::function<jobject(JNIEnv*)> make;
  VARTYPE vt;
  std::function<void(const VARIANT&)> check;
};

TEST_F(JavaToVariantTest, EachClassRowGivesItsTypeAndValue) {
  const ScalarCase cases[] = {
      {"null", [](JNIEnv*) -> jobject { return nullptr; }, VT_EMPTY, [](const VARIANT&) {}},
      {"empty string", [](JNIEnv* e) -> jobject { return java_string(e, u""); }, VT_BSTR,
       [](const VARIANT& v) {
         ASSERT_NE(v.bstrVal, nullptr) << "an empty string is a zero-length BSTR, not null";
         EXPECT_EQ(SysStringLen(v.bstrVal), 0u);
       }},
      {"string with zero unit",
       [](JNIEnv* e) -> jobject { return java_string(e, std::u16string(u"a\0b\u20ac", 4)); },
       VT_BSTR,
       [](const VARIANT& v) { EXPECT_EQ(bstr_text(v.bstrVal), std::u16string(u"a\0b\u20ac", 4)); }},
      {"Boolean.TRUE",
       [](JNIEnv* e) {
         return java_static_field(e, "java/lang/Boolean", "TRUE", "Ljava/lang/Boolean;");
       },
       VT_BOOL, [](const VARIANT& v) { EXPECT_EQ(v.boolVal, 1) << "true is 1, not VARIANT_TRUE"; }},
      {"Boolean.FALSE",
       [](JNIEnv* e) {
         return java_static_field(e, "java/lang/Boolean", "FALSE", "Ljava/lang/Boolean;");
       },
       VT_BOOL, [](const VARIANT& v) { EXPECT_EQ(v.boolVal, 0); }},
      {"Integer", [](JNIEnv* e) { return java_integer(e, -7); }, VT_I4,
       [](const VARIANT& v) { EXPECT_EQ(v.lVal, -7); }},
      {"Byte -1", [](JNIEnv* e) { return java_new(e, "java/lang/Byte", "(B)V", jbyte{-1}); },
       VT_UI1, [](const VARIANT& v) { EXPECT_EQ(v.bVal, 255); }},
      {"Short", [](JNIEnv* e) { return java_new(e, "java/lang/Short", "(S)V", jshort{-300}); },
       VT_I2, [](const VARIANT& v) { EXPECT_EQ(v.iVal, -300); }},
      {"Long 2^40", [](JNIEnv* e) { return java_new(e, "java/lang/Long", "(J)V", jlong{1} << 40); },
       VT_I8, [](const VARIANT& v) { EXPECT_EQ(v.llVal, LONGLONG{1} << 40); }},
      {"Double", [](JNIEnv* e) { return java_new(e, "java/lang/Double", "(D)V", -2.25); }, VT_R8,
       [](const VARIANT& v) { EXPECT_EQ(v.dblVal, -2.25); }},
      {"Float", [](JNIEnv* e) { return java_new(e, "java/lang/Float", "(F)V", 1.5); }, VT_R4,
       [](const VARIANT& v) { EXPECT_EQ(v.fltVal, 1.5f); }},
      {"Missing", java_missing, VT_ERROR,
       [](const VARIANT& v) { EXPECT_EQ(v.scode, static_cast<SCODE>(0x80020004)); }},
  };
  // The boxes are read from their value fields; without those (a VM whose
  // classes lack them) through their accessors, with the same results.
  jfieldID OvClassCache::*const box_fields[] = {
      &OvClassCache::booleanField, &OvClassCache::byteField, &OvClassCache::shortField,
      &OvClassCache::integerField, &OvClassCache::longField, &OvClassCache::floatField,
      &OvClassCache::doubleField};
  jfieldID saved[std::size(box_fields)];
  for (std::size_t i = 0; i < std::size(box_fields); ++i) {
    saved[i] = ov_cache.*box_fields[i];
    ASSERT_NE(saved[i], nullptr) << "this VM's box classes have their value fields";
  }
  for (const bool fields : {true, false}) {
    for (std::size_t i = 0; i < std::size(box_fields); ++i) {
      ov_cache.*box_fields[i] = fields ? saved[i] : nullptr;
    }
    for (const ScalarCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (fields ? "" : ", through the accessors"));
      jobject value = c.make(env);
      VARIANT v;
      VariantInit(&v);
      EXPECT_EQ(ov_java_to_variant(env, value, &v), 1) << ov_test_take_exception(env);
      EXPECT_EQ(v.vt, c.vt);
      c.check(v);
      ov_clear_variant(&v, true);
      EXPECT_EQ(v.vt, VT_EMPTY);
    }
  }
  for (std::size_t i = 0; i < std::size(box_fields); ++i) ov_cache.*box_fields[i] = saved[i];
}

TEST_F(JavaToVariantTest, RefCellsBecomeByReferenceVariantsOnTheirCells) {
  const struct {
    const char* kind;
    VARTYPE vt;
  } cases[] = {
      {"RefString", VT_BYREF | VT_BSTR}, {"RefInt", VT_BYREF | VT_I4},
      {"RefByte", VT_BYREF | VT_UI1},    {"RefShort", VT_BYREF | VT_I2},
      {"RefLong", VT_BYREF | VT_I8},     {"RefDouble", VT_BYREF | VT_R8},
      {"RefFloat", VT_BYREF | VT_R4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    jobject cell = java_ref(env, c.kind);
    ASSERT_NE(cell, nullptr) << ov_test_take_exception(env);
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(ov_java_to_variant(env, cell, &v), 1);
    EXPECT_EQ(v.vt, c.vt);
    EXPECT_EQ(v.byref, ov_from_handle<void>(java_resource_ptr(env, cell)));
    ov_clear_variant(&v, false);
    java_close(env, cell);  // the cell is still alive to be freed: clearing left it alone
  }
}

TEST_F(JavaToVariantTest, WrappersLendTheirPointerWithoutAddRef) {
  IDispatch* automation = new_automation();
  automation->AddRef();  // ours, to watch the count
  jobject dispatch_wrapper = java_dispatch_wrapper(env, automation);
  IDispatch* counter = new_counter();
  jobject unknown_wrapper = java_unknown_wrapper(env, counter);
  const ULONG before = sample_ref_count(automation);

  VARIANT v;
  VariantInit(&v);
  ASSERT_EQ(ov_java_to_variant(env, dispatch_wrapper, &v), 1);
  EXPECT_EQ(v.vt, VT_DISPATCH);
  EXPECT_EQ(v.pdispVal, automation);
  EXPECT_EQ(sample_ref_count(automation), before);
  ov_clear_variant(&v, false);
  EXPECT_EQ(v.vt, VT_DISPATCH) << "an interface payload belongs to the wrapper";
  EXPECT_EQ(sample_ref_count(automation), before);

  VariantInit(&v);
  ASSERT_EQ(ov_java_to_variant(env, unknown_wrapper, &v), 1);
  EXPECT_EQ(v.vt, VT_UNKNOWN);
  EXPECT_EQ(v.punkVal, counter);
  ov_clear_variant(&v, false);

  java_close(env, dispatch_wrapper);
  java_close(env, unknown_wrapper);
  EXPECT_EQ(automation->Release(), 0u);
}

TEST_F(JavaToVariantTest, SubclassOfDateIsADate) {
  jobject timestamp = java_new(env, "java/sql/Timestamp", "(J)V", jlong{0});
  ASSERT_NE(timestamp, nullptr) << ov_test_take_exception(env);
  VARIANT v;
  VariantInit(&v);
  ASSERT_EQ(ov_java_to_variant(env, timestamp, &v), 1) << ov_test_take_exception(env);
  EXPECT_EQ(v.vt, VT_DATE);
}

TEST_F(JavaToVariantTest, RefusedValuesLeaveTheVariantAlone) {
  IDispatch* counter = new_counter();
  jobject closed_wrapper = java_dispatch_wrapper(env, counter);
  java_close(env, closed_wrapper);
  const struct {
    const char* name;
    jobject value;
    std::string exception;
  } cases[] = {
      {"StringBuilder",
       java_new(env, "java/lang/StringBuilder", "(Ljava/lang/String;)V", java_string(env, u"abc")),
       "com.qel.vandrel.com.win32.DispatchException: abc is not yet supported."},
      {"Character", java_new(env, "java/lang/Character", "(C)V", jchar{'x'}),
       "com.qel.vandrel.com.win32.DispatchException: x is not yet supported."},
      {"closed wrapper", closed_wrapper, "java.lang.IllegalStateException"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;  // anything: a refusal must not touch it
    v.iVal = 42;
    EXPECT_EQ(ov_java_to_variant(env, c.value, &v), 0);
    EXPECT_EQ(ov_test_take_exception(env).rfind(c.exception, 0), 0u);
    EXPECT_EQ(v.vt, VT_I2);
  }
}

TEST_F(JavaToVariantTest, ClearingWithInterfacesReleasesThem) {
  IDispatch* counter = new_counter();
  counter->AddRef();
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = counter;
  ov_clear_variant(&v, false);
  EXPECT_EQ(sample_ref_count(counter), 2u);
  ov_clear_variant(&v, true);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(counter->Release(), 0u);
}

TEST_F(JavaToVariantTest, ClearingABareSafeArrayVariantDestroysTheArray) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_SAFEARRAY;
  v.parray = SafeArrayCreateVector(VT_I4, 0, 3);
  ov_clear_variant(&v, false);
  EXPECT_EQ(v.vt, VT_EMPTY);  // the harness sees no SAFEARRAY left
}

}  // namespace
