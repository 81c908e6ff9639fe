// The natives' entry: use before ComService._initialize, 0 interface handles,
// the release wait queue drained by every COM-calling native, and C++
// exceptions turned into Java exceptions (JNI natives) or HRESULTs (methods of
// COM objects of our own).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "impl/dispatch_natives.h"
#include "oleport_testing.h"
#include "runtime/class_cache.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/release_queue.h"
#include "tests/native/cell_accessors.h"
#include "tests/native/failing_allocation.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"
#include "tests/native/natives.h"

namespace sa = sample_automation;

namespace {

constexpr const char* kCounterText = "{5E1A0000-0000-4A11-9000-000000000001}";
constexpr const char* kRunningText = "{5E1A0000-0000-4A11-9000-000000000003}";
constexpr const char* kAutomationName = "new:{5E1A0000-0000-4A11-9000-000000000006}";
constexpr jlong kIidDispatchHigh = 0x0002040000000000LL;
constexpr jlong kIidDispatchLow = static_cast<jlong>(0xC000000000000046ull);

// The natives that call COM, each called on an Automation object (or
// creating one) with arguments that make it succeed.
struct ComNatives {
  JNIEnv* env;
  jobject receiver;  // an IDispatchImpl
  jlong handle;      // of the Automation object

  jlong create() {
    return Java_com_qel_vandrel_com_win32_ComService__1coCreateInstance__Ljava_lang_String_2I(
        env, nullptr, env->NewStringUTF(kCounterText), CLSCTX_ALL);
  }
  jlong bind() {
    return Java_com_qel_vandrel_com_win32_ComService__1coGetObject(
        env, nullptr, env->NewStringUTF(kAutomationName));
  }
  jlong running() {
    return Java_com_qel_vandrel_com_win32_ComService__1getActiveObject(
        env, nullptr, env->NewStringUTF(kRunningText));
  }
  jint add_ref() {
    return Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addRef(env, receiver, handle);
  }
  jint release() {
    return Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1release(env, receiver, handle);
  }
  jobject query() {
    return Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1queryInterface(
        env, receiver, handle, kIidDispatchHigh, kIidDispatchLow);
  }
  jlongArray ids() {
    return Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1getIDsOfNames(
        env, receiver, handle,
        java_object_array(env, "java/lang/String", {java_string(env, u"Echo")}), 0);
  }
  jobject invoke() {
    return Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1invoke(
        env, receiver, handle, sa::kEcho, 0, DISPATCH_METHOD,
        java_object_array(env, "java/lang/Object", {java_integer(env, 7)}));
  }
  jboolean put() {
    return Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1put(
        env, receiver, handle, sa::kValue, 0, java_integer(env, 7));
  }
};

void release_handle(jlong handle) {
  if (handle != 0) ov_from_handle<IUnknown>(handle)->Release();
}

jobject dispatch_receiver(JNIEnv* env) {
  jclass cls = ov_test_find_class(env, "com/qel/vandrel/com/win32/impl/IDispatchImpl");
  jobject receiver = env->AllocObject(cls);  // a receiver only: no pointer of its own
  env->DeleteLocalRef(cls);
  return receiver;
}

// Run alone, in a process of their own, before anything fills the class
// cache: ctest runs every native test in its own process, and these do
// not initialise.
TEST(BeforeInitialize, NativesThatNeedTheCacheThrowIllegalStateException) {
  JNIEnv* env = ov_test_env();
  ASSERT_FALSE(ov_cache_ready()) << "this test needs a process in which nothing initialised";
  // A host application that started COM itself and hands a pointer over.
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  ASSERT_EQ(sample_server_register(), S_OK);
  IDispatch* automation = new_automation();
  ComNatives natives{env, dispatch_receiver(env), ov_to_handle(automation)};

  const struct {
    const char* name;
    std::function<bool()> call;  // true when the result is the neutral value
  } cases[] = {
      {"_coCreateInstance", [&] { return natives.create() == 0; }},
      {"_coGetObject", [&] { return natives.bind() == 0; }},
      {"_getActiveObject", [&] { return natives.running() == 0; }},
      {"_messageBox",
       [&] {
         return Java_com_qel_vandrel_com_win32_ComService__1messageBox(
                    env, nullptr, env->NewStringUTF("text"), env->NewStringUTF("caption"), MB_OK) ==
                0;
       }},
      {"_addRef", [&] { return natives.add_ref() == 0; }},
      {"_release", [&] { return natives.release() == 0; }},
      {"_queryInterface", [&] { return natives.query() == nullptr; }},
      {"_getIDsOfNames", [&] { return natives.ids() == nullptr; }},
      {"_invoke", [&] { return natives.invoke() == nullptr; }},
      {"_put", [&] { return natives.put() == JNI_FALSE; }},
  };
  const long message_boxes = oleport_message_box_count();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.call());
    EXPECT_EQ(ov_test_take_exception(env),
              "java.lang.IllegalStateException: Ostrel32 is not initialised: call "
              "ComService.initialize() first");
    EXPECT_EQ(sample_ref_count(automation), 1u) << "the handed-over object was not called";
    EXPECT_EQ(sample_server_live_objects(), 1) << "nothing created";
  }
  EXPECT_EQ(oleport_message_box_count(), message_boxes);
  EXPECT_FALSE(ov_cache_ready());

  automation->Release();
  sample_server_revoke();
  CoUninitialize();
}

TEST(BeforeInitialize, NativesThatNeedNothingWork) {
  JNIEnv* env = ov_test_env();
  ASSERT_FALSE(ov_cache_ready()) << "this test needs a process in which nothing initialised";
  // Cells: every accessor, a string and an object round trip, and free.
  const jlong cell = OV_RC(calloc)(env, nullptr, 8);
  ASSERT_NE(cell, 0);
  for (const CellAccessor& accessor : cell_accessors()) {
    accessor.call(env, cell);
    EXPECT_EQ(ov_test_take_exception(env), "") << accessor.name;
  }
  OV_RC(setValueForBStrPtr)(env, nullptr, cell, env->NewStringUTF("text"));
  EXPECT_EQ(ov_test_utf8(env, OV_RC(getValueByBStrPtr)(env, nullptr, cell)), "text");
  OV_RC(setValueForBStrPtr)(env, nullptr, cell, nullptr);
  OV_RC(setValueForObject)(env, nullptr, cell, env->NewStringUTF("object"));
  EXPECT_EQ(ov_test_utf8(env, static_cast<jstring>(OV_RC(getValueByObject)(env, nullptr, cell))),
            "object");
  OV_RC(free)(env, nullptr, cell);
  EXPECT_EQ(ov_test_take_exception(env), "");

  Java_com_qel_vandrel_com_win32_ComService__1releaseVariant(env, nullptr, 0);
  EXPECT_EQ(ov_test_take_exception(env), "");

  // A pointer queued before initialisation goes with the next drain, here
  // that of _uninitialize (which also ends the host's COM on this thread).
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  ASSERT_EQ(sample_server_register(), S_OK);
  IDispatch* counter = new_counter();
  EXPECT_EQ(Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addReleaseWaitQueue(
                env, nullptr, ov_to_handle(counter)),
            1);
  EXPECT_EQ(sample_server_live_objects(), 1);
  sample_server_revoke();
  Java_com_qel_vandrel_com_win32_ComService__1uninitialize(env, nullptr);
  EXPECT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(sample_server_live_objects(), 0);
  EXPECT_FALSE(ov_cache_ready());
}

class EntryTest : public JvmTest {
 protected:
  void SetUp() override {
    JvmTest::SetUp();
    automation_ = new_automation();
    natives_ = ComNatives{env, dispatch_receiver(env), ov_to_handle(automation_)};
  }
  void TearDown() override {
    automation_->Release();
    JvmTest::TearDown();
  }

  IDispatch* automation_ = nullptr;
  ComNatives natives_{};
};

TEST_F(EntryTest, ZeroInterfaceHandlesThrowNullPointerException) {
  natives_.handle = 0;
  const struct {
    const char* name;
    std::function<bool()> call;  // true when the result is the neutral value
    const char* thrown;
  } cases[] = {
      {"_addRef", [&] { return natives_.add_ref() == 0; }, "the IUnknown handle is 0"},
      {"_release", [&] { return natives_.release() == 0; }, "the IUnknown handle is 0"},
      {"_queryInterface", [&] { return natives_.query() == nullptr; }, "the IUnknown handle is 0"},
      {"_getIDsOfNames", [&] { return natives_.ids() == nullptr; }, "the IDispatch handle is 0"},
      {"_invoke", [&] { return natives_.invoke() == nullptr; }, "the IDispatch handle is 0"},
      {"_put", [&] { return natives_.put() == JNI_FALSE; }, "the IDispatch handle is 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.call());
    EXPECT_EQ(ov_test_take_exception(env),
              std::string("java.lang.NullPointerException: ") + c.thrown);
  }
  // The natives whose result for 0 is neutral keep it.
  Java_com_qel_vandrel_com_win32_ComService__1releaseVariant(env, nullptr, 0);
  EXPECT_EQ(Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addReleaseWaitQueue(env, nullptr, 0),
            1);
  EXPECT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(ov_release_queue_count(), 0) << "0 queues nothing";
}

TEST_F(EntryTest, EveryComCallingNativeDrainsTheReleaseQueueFirst) {
  // Each row calls the native and gives back what it obtained.
  jobject wrapper = nullptr;
  const struct {
    const char* name;
    std::function<void()> call;
    std::function<void()> clean_up;
  } cases[] = {
      {"_coCreateInstance", [&] { release_handle(natives_.create()); }, [] {}},
      {"_coGetObject", [&] { release_handle(natives_.bind()); }, [] {}},
      {"_getActiveObject", [&] { release_handle(natives_.running()); }, [] {}},
      {"_addRef", [&] { EXPECT_EQ(natives_.add_ref(), 2); }, [&] { automation_->Release(); }},
      {"_release",
       [&] {
         automation_->AddRef();
         EXPECT_EQ(natives_.release(), 1);
       },
       [] {}},
      {"_queryInterface", [&] { wrapper = natives_.query(); }, [&] { java_close(env, wrapper); }},
      {"_getIDsOfNames", [&] { EXPECT_NE(natives_.ids(), nullptr); }, [] {}},
      {"_invoke", [&] { EXPECT_NE(natives_.invoke(), nullptr); }, [] {}},
      {"_put", [&] { EXPECT_EQ(natives_.put(), JNI_TRUE); }, [] {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // closeLater() of a Counter's wrapper.
    IDispatch* counter = new_counter();
    ASSERT_EQ(Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addReleaseWaitQueue(
                  env, nullptr, ov_to_handle(counter)),
              1);
    ASSERT_EQ(sample_server_live_objects(), 2);
    c.call();
    EXPECT_EQ(ov_test_take_exception(env), "");
    EXPECT_EQ(ov_release_queue_count(), 0);
    c.clean_up();
    EXPECT_EQ(ov_test_take_exception(env), "");
    EXPECT_EQ(sample_server_live_objects(), 1) << "the queued Counter is gone";
  }
}

// A C++ exception on a native's path: the barrier itself, with operations
// that throw, and real natives whose allocations fail.
TEST_F(EntryTest, CppExceptionsBecomeJavaExceptions) {
  const struct {
    const char* name;
    std::function<jint()> operation;
    const char* thrown;
  } cases[] = {
      {"bad_alloc", []() -> jint { throw std::bad_alloc(); },
       "java.lang.OutOfMemoryError: Ostrel32 ran out of native memory"},
      {"std::exception", []() -> jint { throw std::runtime_error("a broken promise"); },
       "java.lang.Error: unexpected C++ exception in Ostrel32: a broken promise"},
      {"anything else", []() -> jint { throw 42; },
       "java.lang.Error: unexpected C++ exception in Ostrel32"},
      {"bad_alloc after a Java exception",
       [&]() -> jint {
         ov_throw_java_lang(env, "IllegalArgumentException", "the first failure");
         throw std::bad_alloc();
       },
       "java.lang.IllegalArgumentException: the first failure"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ov_jni_entry(env, kOvNeedsNothing, c.operation), 0) << "the neutral value";
    EXPECT_EQ(ov_test_take_exception(env), c.thrown);
    ov_jni_entry(env, kOvNeedsCache, [&] { c.operation(); });  // a void native
    EXPECT_EQ(ov_test_take_exception(env), c.thrown);
  }
}

TEST_F(EntryTest, AFailedAllocationOnANativesPathBecomesOutOfMemoryError) {
  jobjectArray names = java_object_array(env, "java/lang/String",
                                         {java_string(env, u"Echo"), java_string(env, u"value")});
  // Fails the first, second ... allocation of the call until it needs no more.
  int failures = 0;
  for (int nth = 1;; ++nth) {
    SCOPED_TRACE(nth);
    const long live = live_allocations();
    jlongArray ids;
    {
      const FailingAllocation fail(nth);
      ids = Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1getIDsOfNames(
          env, natives_.receiver, natives_.handle, names, 0);
      if (!allocation_failed()) break;
    }
    ++failures;
    EXPECT_EQ(ids, nullptr);
    EXPECT_EQ(ov_test_take_exception(env),
              "java.lang.OutOfMemoryError: Ostrel32 ran out of native memory");
    EXPECT_EQ(live_allocations(), live) << "what the call had allocated was freed";
    ASSERT_LT(nth, 100);
  }
  EXPECT_GE(failures, 4) << "the names and their pointers, DISPIDs and their copy";
  EXPECT_EQ(ov_test_take_exception(env), "");
}

// Windows' interface structs declare no virtual destructor; this object is
// never deleted through one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// An IDispatch of the test's own whose Invoke goes through the COM barrier
// and fails the way it is told to: with std::bad_alloc from a std::vector
// whose allocation fails, with another C++ exception, or not at all.
class ThrowingDispatch final : public IDispatch {
 public:
  enum class Failure { kNone, kVectorAllocation, kLogicError };
  Failure failure = Failure::kNone;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    return ov_com_entry([&] { return invoke(result); });
  }

  ULONG references = 1;

 private:
  HRESULT invoke(VARIANT* result) {
    std::vector<int> scratch;
    if (failure == Failure::kVectorAllocation) {
      const FailingAllocation fail(1);
      scratch.resize(16);
    }
    if (failure == Failure::kLogicError) throw std::logic_error("not expected here");
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocString(reinterpret_cast<const OLECHAR*>(u"done"));
    return S_OK;
  }
};

#pragma GCC diagnostic pop

TEST_F(EntryTest, CppExceptionsInOurOwnComObjectsBecomeHresults) {
  const struct {
    ThrowingDispatch::Failure failure;
    const char* outcome;
  } cases[] = {
      {ThrowingDispatch::Failure::kVectorAllocation,
       "com.qel.vandrel.com.win32.DispatchException: Failed(0x8007000e), FACILITY:7, CODE:14."},
      {ThrowingDispatch::Failure::kLogicError,
       "com.qel.vandrel.com.win32.DispatchException: Failed(0x8000ffff), FACILITY:0, "
       "CODE:65535."},
      {ThrowingDispatch::Failure::kNone, ""},
  };
  ThrowingDispatch object;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.outcome);
    object.failure = c.failure;
    jobject result = Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1invoke(
        env, natives_.receiver, ov_to_handle(&object), 0, 0, DISPATCH_METHOD, nullptr);
    EXPECT_EQ(ov_test_take_exception(env), c.outcome);
    if (c.failure == ThrowingDispatch::Failure::kNone) {
      EXPECT_EQ(java_text(env, static_cast<jstring>(result)), u"done");
    } else {
      EXPECT_EQ(result, nullptr);
    }
    EXPECT_EQ(object.references, 1u);
  }
}

}  // namespace
