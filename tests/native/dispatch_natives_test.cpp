// IDispatchImpl natives against the sample Automation object: argument order,
// put flags, failures and their messages, results of each kind.
#include <string>
#include <vector>

#include "impl/dispatch_natives.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

namespace sa = sample_automation;

namespace {

constexpr jint kMethod = 1;  // DISPATCH_METHOD
constexpr jint kGet = 2;     // DISPATCH_PROPERTYGET

class DispatchNativesTest : public JvmTest {
 protected:
  void SetUp() override {
    JvmTest::SetUp();
    automation_ = new_automation();
    receiver_ = java_dispatch_wrapper(env, automation_);  // takes our reference
    handle_ = ov_to_handle(automation_);
  }
  void TearDown() override {
    java_close(env, receiver_);
    JvmTest::TearDown();
  }

  jobject invoke(jlong dispid, jint flags, std::vector<jobject> args, bool null_args = false) {
    jobjectArray array = nullptr;
    if (!null_args) {
      jclass object = ov_test_find_class(env, "java/lang/Object");
      array = env->NewObjectArray(static_cast<jsize>(args.size()), object, nullptr);
      for (std::size_t i = 0; i < args.size(); ++i) {
        env->SetObjectArrayElement(array, static_cast<jsize>(i), args[i]);
      }
    }
    return Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1invoke(env, receiver_, handle_,
                                                                      dispid, 0, flags, array);
  }

  std::string last_call() { return java_to_string(env, invoke(sa::kLastCall, kGet, {})); }

  jboolean put(jobject value) {
    return Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1put(env, receiver_, handle_,
                                                                   sa::kValue, 0, value);
  }

  IDispatch* automation_ = nullptr;
  jobject receiver_ = nullptr;
  jlong handle_ = 0;
};

TEST_F(DispatchNativesTest, ArgumentsArriveInReverseOrder) {
  const struct {
    const char* name;
    std::vector<jobject> args;
    bool null_args;
    const char* recorded;
  } cases[] = {
      {"x, y, z",
       {java_integer(env, 1), java_string(env, u"y"),
        java_new(env, "java/lang/Double", "(D)V", 2.0)},
       false,
       "dispid=999 flags=1 cArgs=3 cNamed=0 named= vt=5,8,3"},
      {"null element",
       {java_integer(env, 1), nullptr},
       false,
       "dispid=999 flags=1 cArgs=2 cNamed=0 named= vt=0,3"},
      {"empty array", {}, false, "dispid=999 flags=1 cArgs=0 cNamed=0 named= vt="},
      {"null array", {}, true, "dispid=999 flags=1 cArgs=0 cNamed=0 named= vt="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(invoke(999, kMethod, c.args, c.null_args), nullptr);
    EXPECT_EQ(ov_test_take_exception(env),
              "com.qel.vandrel.com.win32.DispatchException: Failed(0x80020003), FACILITY:2, "
              "CODE:3.");
    EXPECT_EQ(last_call(), c.recorded);
  }
}

TEST_F(DispatchNativesTest, PutChoosesPutRefForCellsOnly) {
  IDispatch* counter = new_counter();
  jobject wrapper = java_dispatch_wrapper(env, counter);
  jobject cell = java_ref(env, "RefInt");
  const struct {
    const char* name;
    jobject value;
    const char* recorded;
  } cases[] = {
      {"Integer", java_integer(env, 5), "dispid=0 flags=4 cArgs=1 cNamed=1 named=-3 vt=3"},
      {"IDispatch wrapper", wrapper, "dispid=0 flags=4 cArgs=1 cNamed=1 named=-3 vt=9"},
      {"RefInt", cell, "dispid=0 flags=8 cArgs=1 cNamed=1 named=-3 vt=16387"},
      {"null", nullptr, "dispid=0 flags=4 cArgs=1 cNamed=1 named=-3 vt=0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(put(c.value), JNI_TRUE) << ov_test_take_exception(env);
    EXPECT_EQ(last_call(), c.recorded);
  }
  EXPECT_EQ(put(java_new(env, "java/lang/Object", "()V")), JNI_FALSE);
  EXPECT_NE(ov_test_take_exception(env).find("is not yet supported."), std::string::npos);
  java_close(env, cell);
  java_close(env, wrapper);
}

TEST_F(DispatchNativesTest, FailuresBecomeDispatchExceptions) {
  const struct {
    const char* name;
    jlong dispid;
    std::vector<jobject> args;
    std::string exception;
  } cases[] = {
      {"DISP_E_EXCEPTION",
       sa::kFail,
       {java_string(env, u"it broke")},
       "Failed(0x80020009), FACILITY:2, CODE:9. it broke"},
      {"deferred fill-in",
       sa::kFailDeferred,
       {java_string(env, u"later")},
       "Failed(0x80020009), FACILITY:2, CODE:9. deferred: later"},
      {"S_FALSE", sa::kSFalse, {}, "S_FALSE is returned."},
      // A string and an array argument: both must be freed after the fault.
      {"access violation",
       sa::kCrash,
       {java_string(env, u"cleared"), env->NewIntArray(3)},
       "Access Violation"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(invoke(c.dispid, kMethod, c.args), nullptr);
    EXPECT_EQ(ov_test_take_exception(env),
              "com.qel.vandrel.com.win32.DispatchException: " + c.exception);
  }
  // The harness checks that no BSTR (arguments, EXCEPINFO strings) is left.
}

TEST_F(DispatchNativesTest, ResultsOfEachKind) {
  const struct {
    const char* name;
    jlong dispid;
    std::vector<jobject> args;
    const char* java_class;
    const char* text;
  } cases[] = {
      {"Echo Integer", sa::kEcho, {java_integer(env, 7)}, "java.lang.Integer", "[7]"},
      {"Echo String", sa::kEcho, {java_string(env, u"abc")}, "java.lang.String", "[abc]"},
      {"Echo int[][]",
       sa::kEcho,
       {java_object_array(env, "[I", {env->NewIntArray(1), env->NewIntArray(2)})},
       "[Ljava.lang.Object;",
       "[[[0], [0, 0]]]"},
      {"ReturnType VT_UI4",
       sa::kReturnType,
       {java_integer(env, VT_UI4)},
       "java.lang.Long",
       "[4000000000]"},
      {"ReturnString null BSTR",
       sa::kReturnString,
       {java_integer(env, 1)},
       "java.lang.String",
       "[]"},
      {"MakeArray 2-D VT_R8",
       sa::kMakeArray,
       {java_integer(env, VT_R8), java_integer(env, 1), java_integer(env, 2), java_integer(env, -1),
        java_integer(env, 3)},
       "[[D",
       "[[[1.0, 3.0, 5.0], [2.0, 4.0, 6.0]]]"},
      {"MakeJaggedArray",
       sa::kMakeJaggedArray,
       {},
       "[Ljava.lang.Object;",
       "[[[1], [1, 2], [1, 2, 3]]]"},
      {"bare VT_SAFEARRAY", sa::kMakeSafeArrayVariant, {java_integer(env, 3)}, "[I", "[[1, 2, 3]]"},
      {"_NewEnum by DISPID -4", -4, {}, "java.lang.String", "[enum]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    jobject result = invoke(c.dispid, kMethod, c.args);
    ASSERT_EQ(ov_test_take_exception(env), "");
    EXPECT_EQ(java_class_name(env, result), c.java_class);
    EXPECT_EQ(java_deep_text(env, result), c.text);
  }
}

TEST_F(DispatchNativesTest, InterfaceResultsAndArgumentsKeepTheirCounts) {
  jobject counter = invoke(sa::kReturnType, kMethod, {java_integer(env, VT_DISPATCH)});
  ASSERT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(java_class_name(env, counter), "com.qel.vandrel.com.win32.impl.IDispatchImpl");
  auto* counter_ptr = ov_from_handle<IUnknown>(java_resource_ptr(env, counter));
  EXPECT_EQ(sample_ref_count(counter_ptr), 1u) << "the wrapper's reference only";

  // Passed as an argument it is borrowed; the echo is a second reference.
  jobject echoed = invoke(sa::kEcho, kMethod, {counter});
  ASSERT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(java_resource_ptr(env, echoed), ov_to_handle(counter_ptr));
  EXPECT_EQ(sample_ref_count(counter_ptr), 2u);
  java_close(env, echoed);
  java_close(env, counter);

  // A VARIANT array result: the array's own references go with it, the
  // wrappers keep theirs.
  jobject array = invoke(sa::kMakeDispatchArray, kMethod, {});
  ASSERT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(java_class_name(env, array), "[Ljava.lang.Object;");
  jobject element = env->GetObjectArrayElement(static_cast<jobjectArray>(array), 1);
  EXPECT_EQ(sample_ref_count(ov_from_handle<IUnknown>(java_resource_ptr(env, element))), 1u);
  java_close(env, element);
}

TEST_F(DispatchNativesTest, RefusedResultsCarryTheirVariant) {
  jobject result = invoke(sa::kReturnType, kMethod, {java_integer(env, VT_I4 | VT_BYREF)});
  EXPECT_EQ(result, nullptr);
  jthrowable thrown = env->ExceptionOccurred();
  ASSERT_NE(thrown, nullptr);
  env->ExceptionClear();
  EXPECT_EQ(ov_test_describe_throwable(env, thrown),
            "com.qel.vandrel.com.win32.DispatchVariant2JavaException: VT_BYREF is not yet "
            "supported.");
  EXPECT_EQ(ov_from_handle<VARIANT>(java_variant_handle(env, thrown))->vt, VT_I4 | VT_BYREF);
  java_release_variant(env, thrown);
}

TEST_F(DispatchNativesTest, RefCellsReceiveWhatTheCalleeWrites) {
  jobject number = java_ref(env, "RefInt");
  jobject text = java_new(env, "com/qel/vandrel/com/win32/RefString", "(Ljava/lang/String;)V",
                          java_string(env, u"old"));
  invoke(sa::kSetRef, kMethod, {number, java_integer(env, 42)});
  invoke(sa::kSetRef, kMethod, {text, java_string(env, u"new")});
  ASSERT_EQ(ov_test_take_exception(env), "");
  jclass ref_int = ov_test_find_class(env, "com/qel/vandrel/com/win32/RefInt");
  const jint written = env->CallIntMethod(number, env->GetMethodID(ref_int, "get", "()I"));
  ov_test_expect_no_exception(env, "RefInt.get");
  EXPECT_EQ(written, 42);
  EXPECT_EQ(java_to_string(env, java_call(env, text, "get", "()Ljava/lang/String;")), "new");
  java_close(env, number);
  java_close(env, text);  // frees "new"; the callee freed "old" (the harness counts BSTRs)
}

TEST_F(DispatchNativesTest, NamesToDispids) {
  auto ids = [&](std::vector<jobject> names) {
    jclass string_class = ov_test_find_class(env, "java/lang/String");
    jobjectArray array =
        env->NewObjectArray(static_cast<jsize>(names.size()), string_class, nullptr);
    for (std::size_t i = 0; i < names.size(); ++i) {
      env->SetObjectArrayElement(array, static_cast<jsize>(i), names[i]);
    }
    return Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1getIDsOfNames(env, receiver_,
                                                                             handle_, array, 0);
  };
  jlongArray found = ids({java_string(env, u"_NewEnum")});
  ASSERT_NE(found, nullptr);
  jlong id = 0;
  env->GetLongArrayRegion(found, 0, 1, &id);
  EXPECT_EQ(id, -4);

  EXPECT_EQ(ids({java_string(env, u"NoSuchMember")}), nullptr);
  EXPECT_EQ(ov_test_take_exception(env), "");

  EXPECT_EQ(ids({java_string(env, u"Echo"), nullptr}), nullptr);
  EXPECT_EQ(ov_test_take_exception(env),
            "java.lang.NullPointerException: name 1 of the names array is null");
  EXPECT_EQ(Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1getIDsOfNames(env, receiver_,
                                                                              handle_, nullptr, 0),
            nullptr);
  EXPECT_EQ(ov_test_take_exception(env), "java.lang.NullPointerException: the names array is null");
}

}  // namespace
