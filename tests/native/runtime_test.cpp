// The bridge runtime inside a real JVM: handles, error reporting, the class
// cache, the release queue and the wrapping helpers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "oleport_testing.h"
#include "runtime/class_cache.h"
#include "runtime/com_refs.h"
#include "runtime/errors.h"
#include "runtime/handle.h"
#include "runtime/release_queue.h"
#include "runtime/wrappers.h"
#include "testserver/sample_server.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"
#include "tests/native/natives.h"

namespace {

struct HandleCase {
  std::uint32_t address;
  jlong handle;
};

TEST(HandleRule, ThirtyTwoBitAddressesAreSignExtendedAndComeBackFromTheLowHalf) {
  const HandleCase cases[] = {
      {0x00000000u, 0},          {0x00401000u, 0x00401000},
      {0x7FFFFFFFu, 0x7FFFFFFF}, {0x80000000u, -2147483648LL},
      {0xFFFF0010u, -65520},
  };
  for (const HandleCase& c : cases) {
    EXPECT_EQ(ov_address_to_handle(c.address), c.handle) << std::hex << c.address;
    EXPECT_EQ(ov_handle_to_address<std::uint32_t>(c.handle), c.address);
  }
  // Only the low 32 bits of an incoming handle count.
  EXPECT_EQ(ov_handle_to_address<std::uint32_t>(0x1234567880000000LL), 0x80000000u);
}

TEST(HandleRule, SixtyFourBitPointersTravelWhole) {
  int object = 0;
  const jlong handle = ov_to_handle(&object);
  EXPECT_EQ(ov_from_handle<int>(handle), &object);
  const auto high = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xFFFF800012345678ull));
  EXPECT_EQ(ov_to_handle(high), static_cast<jlong>(0xFFFF800012345678ull));
  EXPECT_EQ(ov_from_handle<void>(ov_to_handle(high)), high);
}

TEST(GuidFromLongs, BuildsIidIDispatchFromItsTwoHalves) {
  GUID guid;
  ov_guid_from_longs(0x0002040000000000LL, static_cast<jlong>(0xC000000000000046ull), &guid);
  EXPECT_TRUE(IsEqualGUID(guid, IID_IDispatch));
  ov_guid_from_longs(0, static_cast<jlong>(0xC000000000000046ull), &guid);
  EXPECT_TRUE(IsEqualGUID(guid, IID_IUnknown));
}

class RuntimeTest : public JvmTest {};

struct HresultCase {
  HRESULT hr;
  const char* description;  // an EXCEPINFO is passed when not null
  int expected_result;
  std::string expected_message;  // "" = nothing thrown
};

TEST_F(RuntimeTest, CheckHresultFormatsEveryOutcomeByteForByte) {
  const HresultCase cases[] = {
      {S_OK, nullptr, 1, ""},
      {2, nullptr, 1, ""},
      {S_FALSE, nullptr, 0, "S_FALSE is returned."},
      {static_cast<HRESULT>(0x8000FFFF), nullptr, 0, "Failed(0x8000ffff), FACILITY:0, CODE:65535."},
      {E_NOINTERFACE, nullptr, 0, "Failed(0x80004002), FACILITY:0, CODE:16386."},
      {DISP_E_EXCEPTION, nullptr, 0, "Failed(0x80020009), FACILITY:2, CODE:9."},
      {DISP_E_EXCEPTION, "It broke", 0, "Failed(0x80020009), FACILITY:2, CODE:9. It broke"},
      {DISP_E_EXCEPTION, "", 0, "Failed(0x80020009), FACILITY:2, CODE:9. "},
      {static_cast<HRESULT>(0xC1FF0001), nullptr, 0, "Failed(0xc1ff0001), FACILITY:511, CODE:1."},
  };
  for (const HresultCase& c : cases) {
    EXCEPINFO info{};
    std::u16string text;
    if (c.description != nullptr) {
      text.assign(c.description, c.description + std::char_traits<char>::length(c.description));
      info.bstrDescription = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.c_str()),
                                               static_cast<UINT>(text.size()));
    }
    EXPECT_EQ(ov_check_hresult(env, c.hr, c.description != nullptr ? &info : nullptr),
              c.expected_result)
        << std::hex << c.hr;
    const std::string thrown = ov_test_take_exception(env);
    EXPECT_EQ(thrown, c.expected_message.empty()
                          ? ""
                          : "com.qel.vandrel.com.win32.DispatchException: " + c.expected_message);
    SysFreeString(info.bstrDescription);
  }
}

TEST_F(RuntimeTest, NullDescriptionPrintsAsEmpty) {
  EXCEPINFO info{};
  EXPECT_EQ(ov_check_hresult(env, DISP_E_EXCEPTION, &info), 0);
  EXPECT_EQ(ov_test_take_exception_message(env), "Failed(0x80020009), FACILITY:2, CODE:9. ");
}

TEST_F(RuntimeTest, MessagesAreCutAt1023Units) {
  for (size_t length : {size_t{1023} - 40, size_t{1023} - 39, size_t{5000}}) {
    std::u16string description(length, u'x');
    EXCEPINFO info{};
    info.bstrDescription = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(description.c_str()),
                                             static_cast<UINT>(description.size()));
    ov_check_hresult(env, DISP_E_EXCEPTION, &info);
    const std::string message = ov_test_take_exception_message(env);
    // The fixed prefix is 40 units long.
    EXPECT_EQ(message.size(), std::min<size_t>(1023, 40 + length)) << length;
    SysFreeString(info.bstrDescription);
  }
}

TEST_F(RuntimeTest, ConversionExceptionCarriesAnOwnedCopyOfTheVariant) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(OLESTR("payload"));
  ov_throw_conversion_exception(env, &v, "Unexpected variant type:%x.", 0x1003u);
  // The caller clears its own VARIANT at once; the copy must survive that.
  VariantClear(&v);
  jthrowable t = env->ExceptionOccurred();
  env->ExceptionClear();
  jclass cls = env->GetObjectClass(t);
  jmethodID get_handle = env->GetMethodID(cls, "getVariantHandle", "()J");
  ASSERT_NE(get_handle, nullptr) << ov_test_take_exception(env);
  const jlong handle = env->CallLongMethod(t, get_handle);
  ov_test_expect_no_exception(env, "getVariantHandle");
  auto* copy = ov_from_handle<VARIANT>(handle);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->vt, VT_BSTR);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(copy->bstrVal)), u"payload");
  jmethodID release = env->GetMethodID(cls, "releaseVariant", "()V");
  ASSERT_NE(release, nullptr) << ov_test_take_exception(env);
  env->CallVoidMethod(t, release);
  ov_test_expect_no_exception(env, "releaseVariant");
  env->CallVoidMethod(t, release);  // a second release does nothing
  ov_test_expect_no_exception(env, "releaseVariant again");
}

// Runs the collector until the cleaner thread has queued something, or gives
// up after a while (the caller's expectations then fail).
void collect_until_queued(JNIEnv* env) {
  jclass system = ov_test_find_class(env, "java/lang/System");
  jmethodID gc = env->GetStaticMethodID(system, "gc", "()V");
  for (int i = 0; i < 500 && ov_release_queue_count() == 0; ++i) {
    env->CallStaticVoidMethod(system, gc);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  env->DeleteLocalRef(system);
}

TEST_F(RuntimeTest, AnUnreleasedConversionExceptionLeavesItsVariantToTheNextDrain) {
  // A VARIANT holding a SAFEARRAY with a string and an object in it.
  SAFEARRAYBOUND bound{2, 0};
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | VT_VARIANT;
  v.parray = SafeArrayCreate(VT_VARIANT, 1, &bound);
  ASSERT_NE(v.parray, nullptr);
  auto* elements = static_cast<VARIANT*>(v.parray->pvData);
  elements[0].vt = VT_BSTR;
  elements[0].bstrVal = SysAllocString(OLESTR("payload"));
  elements[1].vt = VT_DISPATCH;
  elements[1].pdispVal = new_counter();
  ov_throw_conversion_exception(env, &v, "Not supported VT_ARRAY type.");
  VariantClear(&v);  // the caller's own; the exception keeps its copy
  jthrowable dropped = env->ExceptionOccurred();
  env->ExceptionClear();
  env->DeleteLocalRef(dropped);  // never released, now unreachable
  ASSERT_EQ(sample_server_live_objects(), 1);

  collect_until_queued(env);
  ASSERT_EQ(ov_release_queue_count(), 1) << "the safety net queued the variant";
  EXPECT_EQ(oleport_live_bstr_count(), baseline_bstrs + 1) << "not cleared on the cleaner thread";
  EXPECT_EQ(oleport_live_safearray_count(), baseline_arrays + 1);
  EXPECT_EQ(sample_server_live_objects(), 1);

  ov_release_queue_drain();  // what the next COM-calling native does, on this COM thread
  EXPECT_EQ(oleport_live_bstr_count(), baseline_bstrs);
  EXPECT_EQ(oleport_live_safearray_count(), baseline_arrays);
  EXPECT_EQ(sample_server_live_objects(), 0);
}

TEST_F(RuntimeTest, ReleaseVariantLaterQueuesTheBlockAndIgnoresZero) {
  Java_com_qel_vandrel_com_win32_ComService__1releaseVariantLater(env, nullptr, 0);
  EXPECT_EQ(ov_release_queue_count(), 0);

  auto* block = static_cast<VARIANT*>(GlobalAlloc(GMEM_ZEROINIT, sizeof(VARIANT)));
  ASSERT_NE(block, nullptr);
  block->vt = VT_BSTR;
  block->bstrVal = SysAllocString(OLESTR("queued"));
  Java_com_qel_vandrel_com_win32_ComService__1releaseVariantLater(env, nullptr,
                                                                  ov_to_handle(block));
  EXPECT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(ov_release_queue_count(), 1);
  EXPECT_EQ(oleport_live_bstr_count(), baseline_bstrs + 1);
  ov_release_queue_drain();
  EXPECT_EQ(oleport_live_bstr_count(), baseline_bstrs);
}

TEST_F(RuntimeTest, ConversionExceptionWithoutVariantCarriesHandleZero) {
  ov_throw_conversion_exception(env, nullptr, "VT_CY is not yet supported.");
  jthrowable t = env->ExceptionOccurred();
  env->ExceptionClear();
  jmethodID get_handle = env->GetMethodID(env->GetObjectClass(t), "getVariantHandle", "()J");
  const jlong handle = env->CallLongMethod(t, get_handle);
  ov_test_expect_no_exception(env, "getVariantHandle");
  EXPECT_EQ(handle, 0);
}

TEST_F(RuntimeTest, RefillKeepsClassReferencesAndReadsCalendarFields) {
  const OvClassCache before = ov_cache;
  call_com_service("_initialize");
  ASSERT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(ov_cache.comService, before.comService);
  EXPECT_EQ(ov_cache.refDouble, before.refDouble);
  EXPECT_EQ(ov_cache.intType, before.intType);
  EXPECT_EQ(ov_cache.newIDispatch, before.newIDispatch);
  call_com_service("_uninitialize");  // balances the extra CoInitialize

  jclass calendar = env->FindClass("java/util/Calendar");
  const std::pair<const char*, jint> fields[] = {
      {"YEAR", ov_cache.fieldYear},
      {"MONTH", ov_cache.fieldMonth},
      {"DAY_OF_MONTH", ov_cache.fieldDayOfMonth},
      {"HOUR_OF_DAY", ov_cache.fieldHourOfDay},
      {"MINUTE", ov_cache.fieldMinute},
      {"SECOND", ov_cache.fieldSecond},
      {"MILLISECOND", ov_cache.fieldMillisecond},
  };
  for (const auto& [name, value] : fields) {
    EXPECT_EQ(env->GetStaticIntField(calendar, env->GetStaticFieldID(calendar, name, "I")), value)
        << name;
  }
}

TEST_F(RuntimeTest, ThousandsOfInitialisationsDoNotGrowGlobalReferences) {
  // Each refill keeps the class references; only the calendar is replaced and
  // its predecessor deleted. A leak of ~38 references per call would show as
  // a failed EnsureLocalCapacity long before the VM runs out; here we look at
  // the class entries staying put and the calls staying cheap to repeat.
  const jclass first = ov_cache.object;
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(ov_init_class_cache(env), 1);
  }
  EXPECT_EQ(ov_cache.object, first);
}

TEST_F(RuntimeTest, WideStringKeepsEveryUnit) {
  const jchar units[] = {'a', 0, 'b'};
  jstring with_zero = env->NewString(units, 3);
  OvMallocPtr<OLECHAR> text(ov_to_wide_string(env, with_zero));
  ASSERT_TRUE(text);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text.get()), 4),
            std::u16string(u"a\0b\0", 4));

  OvMallocPtr<OLECHAR> empty(ov_to_wide_string(env, env->NewStringUTF("")));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty.get()[0], 0);

  jobject integer = env->NewObject(ov_cache.integerClass, ov_cache.integerInit, 42);
  OvMallocPtr<OLECHAR> number(ov_to_wide_string(env, integer));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(number.get())), u"42");
}

TEST_F(RuntimeTest, WideStringOfNullThrowsNullPointerException) {
  EXPECT_EQ(ov_to_wide_string(env, nullptr), nullptr);
  EXPECT_EQ(ov_test_take_exception(env),
            "java.lang.NullPointerException: a null object has no text to pass to COM");
}

TEST_F(RuntimeTest, GetEnvIsNullOnAThreadTheVmDoesNotKnow) {
  EXPECT_EQ(ov_get_env(), env);
  JNIEnv* seen = env;
  std::thread([&] { seen = ov_get_env(); }).join();
  EXPECT_EQ(seen, nullptr);
}

// Creates a sample object and returns its IUnknown (one reference).
IUnknown* create(const CLSID& clsid) {
  IUnknown* object = nullptr;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  return object;
}

TEST_F(RuntimeTest, QueueDoublesItsCapacityWhenFull) {
  IUnknown* object = create(CLSID_SampleCounter);
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(ov_release_queue_count(), 0);
  int capacity = ov_release_queue_capacity();
  ASSERT_GE(capacity, 4);
  std::vector<int> capacities;
  // Fill to capacity, then add one more, twice over: 4 -> 8 -> 16 on a fresh
  // queue, and the same doubling from whatever capacity it already has.
  for (int round = 0; round < 2; ++round) {
    while (ov_release_queue_count() < capacity) {
      object->AddRef();
      ASSERT_EQ(ov_release_queue_add(object), 1);
    }
    object->AddRef();
    ASSERT_EQ(ov_release_queue_add(object), 1);
    EXPECT_EQ(ov_release_queue_capacity(), 2 * capacity);
    capacity *= 2;
  }
  const ULONG queued = static_cast<ULONG>(ov_release_queue_count());
  EXPECT_EQ(sample_ref_count(object), queued + 1);
  ov_release_queue_drain();
  EXPECT_EQ(ov_release_queue_count(), 0);
  EXPECT_EQ(ov_release_queue_capacity(), capacity);  // kept for reuse
  EXPECT_EQ(sample_ref_count(object), 1u);
  object->Release();
}

TEST_F(RuntimeTest, FaultingEntryDoesNotStopTheDrain) {
  IUnknown* first = create(CLSID_SampleCounter);
  IUnknown* faulty = create(CLSID_SampleFaultyRelease);
  IUnknown* last = create(CLSID_SampleCounter);
  first->AddRef();
  last->AddRef();
  ov_release_queue_add(first);
  ov_release_queue_add(faulty);  // its Release frees it and then faults
  ov_release_queue_add(last);
  ov_release_queue_add(last);  // the same pointer twice is released twice
  last->AddRef();
  ov_release_queue_drain();
  EXPECT_EQ(ov_release_queue_count(), 0);
  EXPECT_EQ(sample_ref_count(first), 1u);
  EXPECT_EQ(sample_ref_count(last), 1u);
  first->Release();
  last->Release();
}

TEST_F(RuntimeTest, InitialisingAgainKeepsWaitingEntries) {
  IUnknown* object = create(CLSID_SampleCounter);
  object->AddRef();
  ov_release_queue_add(object);
  ASSERT_EQ(ov_release_queue_init(), 1);
  EXPECT_EQ(ov_release_queue_count(), 1);
  ov_release_queue_drain();
  EXPECT_EQ(sample_ref_count(object), 1u);
  object->Release();
}

TEST_F(RuntimeTest, WrappingNullDispatchLeavesTheQueueButNullUnknownDrainsIt) {
  IUnknown* object = create(CLSID_SampleCounter);
  object->AddRef();
  ov_release_queue_add(object);
  jclass impl = ov_test_find_class(env, "com/qel/vandrel/com/win32/impl/IDispatchImpl");
  jobject receiver = env->AllocObject(impl);
  EXPECT_EQ(ov_new_idispatch_object(env, receiver, nullptr), nullptr);
  EXPECT_EQ(ov_release_queue_count(), 1);
  EXPECT_EQ(ov_new_iunknown_object(env, receiver, nullptr), nullptr);
  EXPECT_EQ(ov_release_queue_count(), 0);
  EXPECT_EQ(sample_ref_count(object), 1u);
  object->Release();
}

// A class path without RefDouble: initialisation stops at that lookup,
// leaves the VM's error pending and does not initialise COM.
TEST(MissingClass, InitializeLeavesLookupErrorPending) {
  if (std::getenv("OSTREL_MISSING_CLASS_RUN") == nullptr)
    GTEST_SKIP() << "needs the partial class path";
  JNIEnv* env = ov_test_env();
  Java_com_qel_vandrel_com_win32_ComService__1initialize(env, nullptr);
  EXPECT_EQ(ov_test_take_exception(env),
            "java.lang.NoClassDefFoundError: com/qel/vandrel/com/win32/RefDouble");
  EXPECT_NE(ov_cache.refFloat, nullptr);  // filled before the missing one
  EXPECT_EQ(ov_cache.object, nullptr);    // after it: untouched
  // COM was not initialised on this thread by the failed start.
  IUnknown* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_SampleCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            CO_E_NOTINITIALIZED);
}

}  // namespace
