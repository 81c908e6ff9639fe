// Natives of com.qel.vandrel.com.win32.impl.IUnknownImpl: reference counting,
// interface queries and the deferred release of a pointer.
#include <jni.h>

#include "platform/av_guard.h"
#include "platform/com_platform.h"
#include "platform/jni_export.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/foreign_calls.h"
#include "runtime/handle.h"
#include "runtime/release_queue.h"
#include "runtime/wrappers.h"

namespace {

jint add_ref(JNIEnv* env, jlong handle) {
  ULONG count = 0;
  if (!ov_guarded_add_ref(ov_from_handle<IUnknown>(handle), &count)) {
    ov_throw_com_exception(env, "Access violation in AddRef");
    return -1;
  }
  return static_cast<jint>(count);
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL
Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addRef(JNIEnv* env, jobject, jlong handle) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kOvZeroIUnknown),
                      [&] { return add_ref(env, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addRef, 16);

namespace {

jint release(JNIEnv* env, jlong handle) {
  IUnknown* object = ov_from_handle<IUnknown>(handle);
  ULONG count = 0;
  if (!ov_av_guarded([&] { count = object->Release(); })) {
    ov_throw_com_exception(env, "Access violation in release");
    return -1;
  }
  return static_cast<jint>(count);
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL
Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1release(JNIEnv* env, jobject, jlong handle) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kOvZeroIUnknown),
                      [&] { return release(env, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1release, 16);

namespace {

jobject query_interface(JNIEnv* env, jobject self, jlong handle, jlong iid_high, jlong iid_low) {
  IID iid;
  ov_guid_from_longs(iid_high, iid_low, &iid);
  IUnknown* result = nullptr;
  HRESULT hr = E_FAIL;
  if (!ov_guarded_query_interface(ov_from_handle<IUnknown>(handle), iid,
                                  reinterpret_cast<void**>(&result), &hr)) {
    // Whatever the call left in result is not trusted.
    ov_throw_com_exception(env, "Access violation in QueryInterface");
    return nullptr;
  }
  if (!ov_check_hresult(env, hr, nullptr)) return nullptr;
  return ov_new_iunknown_object(env, self, result);  // the wrapper owns QueryInterface's reference
}

}  // namespace

extern "C" JNIEXPORT jobject JNICALL
Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1queryInterface(JNIEnv* env, jobject self,
                                                                  jlong handle, jlong iid_high,
                                                                  jlong iid_low) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kOvZeroIUnknown),
                      [&] { return query_interface(env, self, handle, iid_high, iid_low); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1queryInterface, 32);

namespace {

// Any thread may queue; a 0 handle queues nothing.
jint add_release_wait_queue(JNIEnv* env, jlong handle) {
  IUnknown* object = ov_from_handle<IUnknown>(handle);
  if (object == nullptr) return 1;
  if (!ov_release_queue_add(object)) {
    // The reference stays with the caller, which may try again later.
    ov_throw_java_lang(env, "OutOfMemoryError", "the release wait queue cannot grow");
    return 0;
  }
  return 1;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL
Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addReleaseWaitQueue(JNIEnv* env, jclass,
                                                                       jlong handle) {
  return ov_jni_entry(env, kOvNeedsNothing, [&] { return add_release_wait_queue(env, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addReleaseWaitQueue, 16);
