// Natives of com.qel.vandrel.testserver.TestServer.
#include <jni.h>

#include <cstdint>
#include <string>

#include "testserver/automation_object.h"
#include "testserver/sample_server.h"

#if !defined(_WIN32)
#include "oleport_testing.h"
#endif

// Exported undecorated on every platform; the 32-bit Windows build adds the
// stdcall-decorated aliases at link time.
#define TESTSERVER_NATIVE(result) extern "C" OSTREL_TESTSERVER_API result JNICALL

namespace {

void throw_java(JNIEnv* env, const char* class_name, const std::string& message) {
  jclass type = env->FindClass(class_name);
  if (type != nullptr) env->ThrowNew(type, message.c_str());
}

std::string hresult_text(HRESULT hr) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  const auto value = static_cast<std::uint32_t>(hr);
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xf];
  return text;
}

}  // namespace

TESTSERVER_NATIVE(void)
Java_com_qel_vandrel_testserver_TestServer_register(JNIEnv* env, jclass) {
  const HRESULT hr = sample_server_register();
  if (FAILED(hr)) {
    throw_java(env, "java/lang/IllegalStateException",
               "registering the sample server failed with HRESULT " + hresult_text(hr));
  }
}

TESTSERVER_NATIVE(void)
Java_com_qel_vandrel_testserver_TestServer_revoke(JNIEnv*, jclass) {
  sample_server_revoke();
}

TESTSERVER_NATIVE(jlong)
Java_com_qel_vandrel_testserver_TestServer_liveObjects(JNIEnv*, jclass) {
  return static_cast<jlong>(sample_server_live_objects());
}

TESTSERVER_NATIVE(jlong)
Java_com_qel_vandrel_testserver_TestServer_counterCreated(JNIEnv*, jclass) {
  return static_cast<jlong>(sample_server_counter_created());
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_liveBstrs(JNIEnv*, jclass) {
#if defined(_WIN32)
  return -1;
#else
  return static_cast<jint>(oleport_live_bstr_count());
#endif
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_liveSafeArrays(JNIEnv*, jclass) {
#if defined(_WIN32)
  return -1;
#else
  return static_cast<jint>(oleport_live_safearray_count());
#endif
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_createdSafeArrays(JNIEnv*, jclass) {
#if defined(_WIN32)
  return -1;
#else
  return static_cast<jint>(oleport_created_safearray_count());
#endif
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_refCount(JNIEnv*, jclass, jlong ptr) {
  auto* object = reinterpret_cast<IUnknown*>(static_cast<std::uintptr_t>(ptr));
  return static_cast<jint>(sample_ref_count(object));
}

TESTSERVER_NATIVE(jlong)
Java_com_qel_vandrel_testserver_TestServer_newAutomationObject(JNIEnv*, jclass) {
  void* object = nullptr;
  if (FAILED(AutomationObject::create(IID_IDispatch, &object))) return 0;
  return static_cast<jlong>(reinterpret_cast<std::uintptr_t>(object));
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_releaseObject(JNIEnv*, jclass, jlong ptr) {
  auto* object = reinterpret_cast<IUnknown*>(static_cast<std::uintptr_t>(ptr));
  return static_cast<jint>(object->Release());
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_addRefObject(JNIEnv*, jclass, jlong ptr) {
  auto* object = reinterpret_cast<IUnknown*>(static_cast<std::uintptr_t>(ptr));
  return static_cast<jint>(object->AddRef());
}

TESTSERVER_NATIVE(void)
Java_com_qel_vandrel_testserver_TestServer_setMessageBoxAnswer(JNIEnv*, jclass, jint answer) {
#if defined(_WIN32)
  (void)answer;
#else
  oleport_set_message_box_answer(static_cast<int>(answer));
#endif
}

TESTSERVER_NATIVE(void)
Java_com_qel_vandrel_testserver_TestServer_setFaultyReleaseArmed(JNIEnv*, jclass, jboolean armed) {
  sample_server_set_faulty_release_armed(armed == JNI_TRUE);
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_lastEnumObjectsFlags(JNIEnv*, jclass) {
  return static_cast<jint>(sample_server_last_enum_flags());
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_lastLockContainerArgument(JNIEnv*, jclass) {
  return static_cast<jint>(sample_server_last_lock_argument());
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_containerLocks(JNIEnv*, jclass) {
  return static_cast<jint>(sample_server_lock_count());
}

TESTSERVER_NATIVE(jlong)
Java_com_qel_vandrel_testserver_TestServer_liveVariantEnumerators(JNIEnv*, jclass) {
  return static_cast<jlong>(sample_server_live_variant_enumerators());
}

TESTSERVER_NATIVE(jint)
Java_com_qel_vandrel_testserver_TestServer_liveTaskMemory(JNIEnv*, jclass) {
#if defined(_WIN32)
  return -1;
#else
  return static_cast<jint>(oleport_live_task_memory_count());
#endif
}

namespace {

// The platform's URL history, or null with an IllegalStateException pending.
IUrlHistoryStg* open_url_history(JNIEnv* env) {
  IUrlHistoryStg* history = nullptr;
  const HRESULT hr = CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IUrlHistoryStg, reinterpret_cast<void**>(&history));
  if (FAILED(hr)) {
    throw_java(env, "java/lang/IllegalStateException",
               "creating the URL history failed with HRESULT " + hresult_text(hr));
    return nullptr;
  }
  return history;
}

// The UTF-16 text of a Java string, zero-terminated.
std::basic_string<OLECHAR> ole_text(JNIEnv* env, jstring text) {
  const jsize length = env->GetStringLength(text);
  std::basic_string<OLECHAR> units(static_cast<size_t>(length), OLECHAR{0});
  env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(&units[0]));
  return units;
}

}  // namespace

TESTSERVER_NATIVE(void)
Java_com_qel_vandrel_testserver_TestServer_addVisitedUrl(JNIEnv* env, jclass, jstring url) {
  IUrlHistoryStg* history = open_url_history(env);
  if (history == nullptr) return;
  const HRESULT hr =
      history->AddUrl(ole_text(env, url).c_str(), nullptr, ADDURL_ADDTOHISTORYANDCACHE);
  history->Release();
  if (FAILED(hr)) {
    throw_java(env, "java/lang/IllegalStateException",
               "AddUrl failed with HRESULT " + hresult_text(hr));
  }
}

TESTSERVER_NATIVE(void)
Java_com_qel_vandrel_testserver_TestServer_deleteVisitedUrl(JNIEnv* env, jclass, jstring url) {
  IUrlHistoryStg* history = open_url_history(env);
  if (history == nullptr) return;
  history->DeleteUrl(ole_text(env, url).c_str(), 0);
  history->Release();
}
