// The event sink's COM slots called directly, as a source calls them, in the
// real JVM: the answers that need no connection, the edge cases of Invoke and
// GetIDsOfNames, and calls and destruction on a thread without a JNI
// environment.
#include <gtest/gtest.h>

#include <thread>

#include "sink/handler.h"
#include "tests/native/jvm_harness.h"

extern "C" {
jlong JNICALL Java_com_qel_vandrel_com_win32_Handler__1createHandler(JNIEnv*, jclass);
void JNICALL Java_com_qel_vandrel_com_win32_Handler__1setObject(JNIEnv*, jobject, jlong);
void JNICALL Java_com_qel_vandrel_com_win32_Handler__1disconnect(JNIEnv*, jobject, jlong);
}

namespace {

class SinkTest : public JvmTest {
 protected:
  void SetUp() override {
    JvmTest::SetUp();
    live_before = Handler::live();
    type = ov_test_find_class(env, "com/qel/vandrel/com/win32/Handler");
    java_handler = env->NewObject(type, env->GetMethodID(type, "<init>", "()V"));
    ov_test_expect_no_exception(env, "new Handler()");
    const jlong handle =
        env->CallLongMethod(java_handler, env->GetMethodID(type, "nativeHandle", "()J"));
    ov_test_expect_no_exception(env, "nativeHandle");
    Java_com_qel_vandrel_com_win32_Handler__1setObject(env, java_handler, handle);
    sink = reinterpret_cast<IDispatch*>(static_cast<std::uintptr_t>(handle));
  }

  void TearDown() override {
    env->CallVoidMethod(java_handler, env->GetMethodID(type, "close", "()V"));
    ov_test_expect_no_exception(env, "close");
    EXPECT_EQ(Handler::live(), live_before);
    JvmTest::TearDown();
  }

  long live_before = 0;
  jclass type = nullptr;
  jobject java_handler = nullptr;
  IDispatch* sink = nullptr;
};

TEST_F(SinkTest, SlotsThatNeedNoJava) {
  UINT count = 7;
  EXPECT_EQ(sink->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(sink->GetTypeInfo(0, 0, &info), E_NOTIMPL);
  void* out = sink;
  EXPECT_EQ(sink->QueryInterface(IID_NULL, &out), E_NOINTERFACE);  // no event IID recorded yet
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(sink->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
}

TEST_F(SinkTest, DisconnectingAnUnconnectedSinkDoesNothing) {
  const jlong handle = static_cast<jlong>(reinterpret_cast<std::uintptr_t>(sink));
  Java_com_qel_vandrel_com_win32_Handler__1disconnect(env, java_handler, handle);
  Java_com_qel_vandrel_com_win32_Handler__1disconnect(env, java_handler, handle);
  EXPECT_EQ(ov_test_take_exception(env), "");
}

TEST_F(SinkTest, InvokeEdgeCases) {
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_BSTR;
  args[0].bstrVal = SysAllocString(OLESTR("x"));
  args[1].vt = VT_I4;
  args[1].lVal = 1;
  DISPPARAMS params{args, nullptr, 2, 0};
  struct Case {
    WORD flags;
    bool with_result;
    HRESULT hr;
    VARTYPE result_type;  // VT_I4: untouched
  };
  const Case cases[] = {
      {DISPATCH_PROPERTYGET, true, S_FALSE, VT_I4},
      {DISPATCH_PROPERTYPUT, true, S_FALSE, VT_I4},
      {DISPATCH_METHOD, true, S_OK, VT_EMPTY},  // the default handler answers null
      {DISPATCH_METHOD | DISPATCH_PROPERTYGET, true, S_OK, VT_EMPTY},
      {DISPATCH_METHOD, false, S_OK, VT_EMPTY},  // no result wanted: nothing written
  };
  for (const Case& c : cases) {
    VARIANT result;
    VariantInit(&result);
    result.vt = VT_I4;
    result.lVal = 7;
    EXPECT_EQ(sink->Invoke(1, IID_NULL, 0, c.flags, &params, c.with_result ? &result : nullptr,
                           nullptr, nullptr),
              c.hr)
        << "flags " << c.flags;
    if (c.with_result) {
      EXPECT_EQ(result.vt, c.result_type) << "flags " << c.flags;
    }
    ov_test_expect_no_exception(env, "Invoke");
  }
  VariantClear(&args[0]);
}

TEST_F(SinkTest, NamesUnknownToTheDefaultHandler) {
  OLECHAR a[] = {'a', 0};
  OLECHAR b[] = {'b', 0};
  LPOLESTR names[] = {a, b};
  DISPID ids[2] = {5, 5};
  EXPECT_EQ(sink->GetIDsOfNames(IID_NULL, names, 2, 0, ids), S_OK);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  ov_test_expect_no_exception(env, "GetIDsOfNames");
}

TEST_F(SinkTest, AThreadWithoutAnEnvironmentIsRefusedWithoutJava) {
  HRESULT invoke_hr = S_OK;
  HRESULT names_hr = S_OK;
  DISPID id = 5;
  std::thread([&] {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    invoke_hr = sink->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
    OLECHAR x[] = {'x', 0};
    LPOLESTR names[] = {x};
    names_hr = sink->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  }).join();
  EXPECT_EQ(invoke_hr, RPC_E_WRONG_THREAD);
  EXPECT_EQ(names_hr, RPC_E_WRONG_THREAD);
  EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(SinkTest, DestroyedOnANativeThreadItsReferenceIsDeletedLater) {
  const jlong handle = Java_com_qel_vandrel_com_win32_Handler__1createHandler(env, type);
  ASSERT_NE(handle, 0);
  Java_com_qel_vandrel_com_win32_Handler__1setObject(env, java_handler, handle);
  auto* other = reinterpret_cast<IDispatch*>(static_cast<std::uintptr_t>(handle));
  const long live = Handler::live();
  std::thread([other] {
    other->Release();
    other->Release();  // from -1: destroyed, without an environment
  }).join();
  EXPECT_EQ(Handler::live(), live - 1);
  EXPECT_EQ(ov_orphaned_handler_ref_count(), 1);
  ov_delete_orphaned_handler_refs(env);
  EXPECT_EQ(ov_orphaned_handler_ref_count(), 0);
}

}  // namespace

namespace {

// Each ctest test runs in a process of its own, so this lookup is the
// process's first.
class SinkLookupTest : public JvmTest {};

TEST_F(SinkLookupTest, AClassWithoutTheHandlerMethodsCreatesNothing) {
  jclass object = ov_test_find_class(env, "java/lang/Object");
  const long live = Handler::live();
  EXPECT_EQ(Java_com_qel_vandrel_com_win32_Handler__1createHandler(env, object), 0);
  EXPECT_EQ(ov_test_take_exception(env).rfind("java.lang.NoSuchMethodError", 0), 0u);
  EXPECT_EQ(Handler::live(), live);
  EXPECT_EQ(ov_default_handler_method.load(), nullptr);
}

}  // namespace
