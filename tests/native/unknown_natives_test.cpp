// IUnknownImpl natives against the sample server's counting objects.
#include <gtest/gtest.h>

#include "runtime/class_cache.h"
#include "runtime/handle.h"
#include "runtime/release_queue.h"
#include "testserver/sample_server.h"
#include "tests/native/jvm_harness.h"
#include "tests/native/natives.h"

namespace {

class UnknownNativesTest : public JvmTest {
 protected:
  void SetUp() override {
    JvmTest::SetUp();
    receiver =
        env->AllocObject(ov_test_find_class(env, "com/qel/vandrel/com/win32/impl/IUnknownImpl"));
  }
  IUnknown* create(const CLSID& clsid) {
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    return object;
  }
  jint add_ref(IUnknown* p) {
    return Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addRef(env, receiver,
                                                                     ov_to_handle(p));
  }
  jint release(IUnknown* p) {
    return Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1release(env, receiver,
                                                                      ov_to_handle(p));
  }
  jobject receiver = nullptr;
};

TEST_F(UnknownNativesTest, AddRefAndReleaseReturnTheObjectsCounts) {
  IUnknown* object = create(CLSID_SampleCounter);
  EXPECT_EQ(add_ref(object), 2);
  EXPECT_EQ(release(object), 1);
  EXPECT_EQ(release(object), 0);  // the last reference
  EXPECT_EQ(sample_server_live_objects(), 0);
}

TEST_F(UnknownNativesTest, FaultingReleaseThrowsComException) {
  IUnknown* object = create(CLSID_SampleFaultyRelease);
  EXPECT_EQ(release(object), -1);
  EXPECT_EQ(ov_test_take_exception(env),
            "com.qel.vandrel.com.win32.ComException: Access violation in release");
  // The thread goes on normally afterwards.
  IUnknown* counter = create(CLSID_SampleCounter);
  EXPECT_EQ(release(counter), 0);
}

TEST_F(UnknownNativesTest, QueryInterfaceWrapsANewReference) {
  IUnknown* object = create(CLSID_SampleCounter);
  object->AddRef();
  ov_release_queue_add(object);  // wrapping drains the queue first
  jobject wrapper = Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1queryInterface(
      env, receiver, ov_to_handle(object), 0x0002040000000000LL,
      static_cast<jlong>(0xC000000000000046ull));
  ASSERT_EQ(ov_test_take_exception(env), "");
  ASSERT_NE(wrapper, nullptr);
  EXPECT_EQ(ov_release_queue_count(), 0);
  EXPECT_TRUE(env->IsInstanceOf(wrapper, ov_cache.iUnknown));
  const jlong handle = env->CallLongMethod(wrapper, ov_cache.getPtr);
  ov_test_expect_no_exception(env, "getPtr");
  auto* dispatch = ov_from_handle<IUnknown>(handle);
  EXPECT_NE(dispatch, nullptr);
  EXPECT_EQ(sample_ref_count(object), 2u);  // ours and the wrapper's
  // Hand the wrapper's reference back the way Java would.
  jmethodID close = env->GetMethodID(env->GetObjectClass(wrapper), "close", "()V");
  env->CallVoidMethod(wrapper, close);
  ov_test_expect_no_exception(env, "close");
  EXPECT_EQ(sample_ref_count(object), 1u);
  object->Release();
}

TEST_F(UnknownNativesTest, QueryInterfaceForAMissingInterfaceThrows) {
  IUnknown* object = create(CLSID_SampleCounter);
  // IID_IEnumUnknown {00000100-0000-0000-C000-000000000046}
  jobject wrapper = Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1queryInterface(
      env, receiver, ov_to_handle(object), 0x0000010000000000LL,
      static_cast<jlong>(0xC000000000000046ull));
  EXPECT_EQ(wrapper, nullptr);
  EXPECT_EQ(ov_test_take_exception(env),
            "com.qel.vandrel.com.win32.DispatchException: Failed(0x80004002), FACILITY:0, "
            "CODE:16386.");
  EXPECT_EQ(sample_ref_count(object), 1u);
  object->Release();
}

TEST_F(UnknownNativesTest, AddReleaseWaitQueueDefersTheRelease) {
  IUnknown* object = create(CLSID_SampleCounter);
  object->AddRef();
  EXPECT_EQ(Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addReleaseWaitQueue(
                env, nullptr, ov_to_handle(object)),
            1);
  EXPECT_EQ(sample_ref_count(object), 2u);
  ov_release_queue_drain();
  EXPECT_EQ(sample_ref_count(object), 1u);
  object->Release();
}

}  // namespace
