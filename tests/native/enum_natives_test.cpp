// IEnumUnknownImpl and IOleContainerImpl natives against the sample server's
// enumerator and container classes, in the embedded JVM.
#include <gtest/gtest.h>

#include <vector>

#include "oleport_testing.h"
#include "runtime/class_cache.h"
#include "runtime/handle.h"
#include "testserver/sample_server.h"
#include "tests/native/jvm_harness.h"
#include "tests/native/natives.h"

namespace {

class EnumNativesTest : public JvmTest {
 protected:
  void SetUp() override {
    JvmTest::SetUp();
    receiver =
        env->AllocObject(ov_test_find_class(env, "com/qel/vandrel/com/win32/impl/IUnknownImpl"));
    close_method = env->GetMethodID(env->GetObjectClass(receiver), "close", "()V");
  }
  template <class T>
  T* create(const CLSID& clsid, const IID& iid) {
    T* object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    return object;
  }
  IEnumUnknown* enumerator() {
    return create<IEnumUnknown>(CLSID_SampleObjectEnumerator, IID_IEnumUnknown);
  }
  jobjectArray next(IEnumUnknown* e, jint count) {
    return Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1next(env, receiver,
                                                                       ov_to_handle(e), count);
  }
  jlong pointer_of(jobject wrapper) {
    const jlong handle = env->CallLongMethod(wrapper, ov_cache.getPtr);
    ov_test_expect_no_exception(env, "getPtr");
    return handle;
  }
  void close(jobject wrapper) {
    env->CallVoidMethod(wrapper, close_method);
    ov_test_expect_no_exception(env, "close");
  }
  // The elements' pointers (-1 for a null array); every wrapper is closed.
  std::vector<jlong> take(jobjectArray array) {
    if (array == nullptr) return {-1};
    std::vector<jlong> pointers;
    for (jsize i = 0; i < env->GetArrayLength(array); ++i) {
      jobject element = env->GetObjectArrayElement(array, i);
      pointers.push_back(pointer_of(element));
      close(element);
    }
    return pointers;
  }
  size_t length(jobjectArray array) {
    const std::vector<jlong> pointers = take(array);
    return pointers == std::vector<jlong>{-1} ? 0 : pointers.size();
  }
  jobject receiver = nullptr;
  jmethodID close_method = nullptr;
};

TEST_F(EnumNativesTest, NextFetchesInBatchesUntilTheEnd) {
  IEnumUnknown* e = enumerator();
  struct Step {
    jint count;
    bool null;
    size_t length;
  };
  const Step steps[] = {{0, true, 0}, {2, false, 2}, {2, false, 1}, {2, true, 0}, {-1, true, 0}};
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "count " << s.count);
    jobjectArray batch = next(e, s.count);
    ASSERT_EQ(ov_test_take_exception(env), "");
    EXPECT_EQ(batch == nullptr, s.null);
    if (batch != nullptr) {
      EXPECT_TRUE(
          env->IsInstanceOf(batch, env->FindClass("[Lcom/qel/vandrel/com/win32/IUnknown;")));
    }
    EXPECT_EQ(length(batch), s.length);
  }
  EXPECT_EQ(e->Release(), 0u);
}

TEST_F(EnumNativesTest, NegativeCountCallsNothingAndLargeCountIsServed) {
  IEnumUnknown* e = enumerator();
  EXPECT_EQ(next(e, -5), nullptr);
  EXPECT_EQ(length(next(e, 0x7fffffff)), sample_enum_objects::kElementCount);  // from the start
  EXPECT_EQ(e->Release(), 0u);
}

TEST_F(EnumNativesTest, SkipPastTheEndThenResetStartsAgain) {
  IEnumUnknown* e = enumerator();
  const jlong h = ov_to_handle(e);
  const std::vector<jlong> first = take(next(e, 3));
  EXPECT_TRUE(Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1reset(env, receiver, h));
  EXPECT_TRUE(Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1skip(env, receiver, h, 1));
  EXPECT_FALSE(Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1skip(env, receiver, h, 5));
  EXPECT_FALSE(Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1skip(env, receiver, h, -1));
  EXPECT_EQ(next(e, 1), nullptr);
  EXPECT_TRUE(Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1reset(env, receiver, h));
  EXPECT_EQ(take(next(e, 3)), first);
  EXPECT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(e->Release(), 0u);
}

TEST_F(EnumNativesTest, CloneContinuesFromTheSamePositionWithItsOwnReference) {
  IEnumUnknown* e = enumerator();
  take(next(e, 1));
  jobject copy = Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1_1clone(env, receiver,
                                                                                ov_to_handle(e));
  ASSERT_NE(copy, nullptr);
  auto* copied = ov_from_handle<IEnumUnknown>(pointer_of(copy));
  EXPECT_EQ(sample_ref_count(copied), 1u);  // only Clone's, owned by the wrapper
  EXPECT_EQ(take(next(copied, 3)), take(next(e, 3)));
  close(copy);
  EXPECT_EQ(e->Release(), 0u);
}

TEST_F(EnumNativesTest, HostileEnumeratorGivesNullAndLeaksNothing) {
  IEnumUnknown* e = create<IEnumUnknown>(CLSID_SampleHostileEnumerator, IID_IEnumUnknown);
  const long before = sample_server_live_objects();
  for (jint count : {1, 2, 3}) {
    EXPECT_EQ(next(e, count), nullptr);
    EXPECT_EQ(sample_server_live_objects(), before) << "count " << count;
  }
  EXPECT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(e->Release(), 0u);
}

TEST_F(EnumNativesTest, EnumObjectsPassesTheFlagsAndAddsAReference) {
  IOleContainer* c = create<IOleContainer>(CLSID_SampleContainer, IID_IOleContainer);
  for (jint flags : {0, OLECONTF_EMBEDDINGS, OLECONTF_LINKS | OLECONTF_ONLYIFRUNNING, 31}) {
    jobject wrapper = Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1enumObjects(
        env, receiver, ov_to_handle(c), flags);
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(sample_server_last_enum_flags(), static_cast<DWORD>(flags));
    auto* e = ov_from_handle<IEnumUnknown>(pointer_of(wrapper));
    // One more than a clone's: EnumObjects' and the native's own.
    EXPECT_EQ(sample_ref_count(e), 2u);
    e->Release();
    close(wrapper);
  }
  EXPECT_EQ(c->Release(), 0u);
}

TEST_F(EnumNativesTest, EnumObjectsAnsweringSFalseGivesNull) {
  IOleContainer* c = create<IOleContainer>(CLSID_SampleEmptyContainer, IID_IOleContainer);
  EXPECT_EQ(Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1enumObjects(
                env, receiver, ov_to_handle(c), OLECONTF_OTHERS),
            nullptr);
  EXPECT_EQ(sample_server_last_enum_flags(), static_cast<DWORD>(OLECONTF_OTHERS));
  EXPECT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(c->Release(), 0u);
}

TEST_F(EnumNativesTest, LockContainerPassesOneOrZero) {
  IOleContainer* c = create<IOleContainer>(CLSID_SampleContainer, IID_IOleContainer);
  const LONG locks = sample_server_lock_count();
  for (const auto& [lock, passed] : {std::pair<jboolean, LONG>{JNI_TRUE, 1}, {JNI_FALSE, 0}}) {
    EXPECT_TRUE(Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1lockContainer(
        env, receiver, ov_to_handle(c), lock));
    EXPECT_EQ(sample_server_last_lock_argument(), passed);
  }
  EXPECT_EQ(sample_server_lock_count(), locks);
  EXPECT_EQ(c->Release(), 0u);
}

TEST_F(EnumNativesTest, ZeroHandlesThrowNullPointerException) {
  EXPECT_EQ(next(nullptr, 1), nullptr);
  EXPECT_EQ(ov_test_take_exception(env),
            "java.lang.NullPointerException: the IEnumUnknown handle is 0");
  EXPECT_FALSE(Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1lockContainer(env, receiver,
                                                                                     0, JNI_TRUE));
  EXPECT_EQ(ov_test_take_exception(env),
            "java.lang.NullPointerException: the IOleContainer handle is 0");
}

class UrlHistoryNativesTest : public JvmTest {
 protected:
  void SetUp() override {
    JvmTest::SetUp();
    oleport_clear_url_history();
    task_memory = oleport_live_task_memory_count();
  }
  void TearDown() override {
    oleport_clear_url_history();
    EXPECT_EQ(oleport_live_task_memory_count(), task_memory) << "task memory leaked";
    JvmTest::TearDown();
  }
  jboolean visited(jlong history, const char* url) {
    jstring text = url != nullptr ? env->NewStringUTF(url) : nullptr;
    return Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1isVisited(env, nullptr,
                                                                               history, text);
  }
  long task_memory = 0;
};

TEST_F(UrlHistoryNativesTest, AnswersForVisitedAbsentAndEmptyUrls) {
  const jlong history =
      Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1initialize(env, nullptr);
  ASSERT_NE(history, 0);
  auto* stg = ov_from_handle<IUrlHistoryStg2>(history);
  ASSERT_EQ(stg->AddUrl(OLESTR("http://ostrel.test/visited"), OLESTR("Title"),
                        ADDURL_ADDTOHISTORYANDCACHE),
            S_OK);
  ASSERT_EQ(stg->AddUrl(OLESTR("http://ostrel.test/cached"), nullptr, ADDURL_ADDTOCACHE), S_OK);
  const struct {
    const char* url;
    bool visited;
  } cases[] = {
      {"http://ostrel.test/visited", true},
      {"http://ostrel.test/absent", false},
      {"http://ostrel.test/cached", false},  // not top level
      {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(visited(history, c.url) != JNI_FALSE, c.visited) << c.url;
    EXPECT_EQ(ov_test_take_exception(env), "");
  }
  stg->AddRef();
  EXPECT_EQ(
      Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1release(env, nullptr, history), 1);
  EXPECT_EQ(
      Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1release(env, nullptr, history), 0);
}

TEST_F(UrlHistoryNativesTest, NullUrlThrowsAndZeroHandleCallsNothing) {
  EXPECT_FALSE(visited(0, "http://ostrel.test/visited"));
  EXPECT_EQ(Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1release(env, nullptr, 0), 0);
  EXPECT_EQ(ov_test_take_exception(env), "");
  const jlong history =
      Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1initialize(env, nullptr);
  EXPECT_FALSE(visited(history, nullptr));
  EXPECT_EQ(ov_test_take_exception(env),
            "java.lang.NullPointerException: the url to look up is null");
  EXPECT_EQ(
      Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1release(env, nullptr, history), 0);
}

}  // namespace
