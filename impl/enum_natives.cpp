// Natives of com.qel.vandrel.com.win32.impl.IEnumUnknownImpl and
// IOleContainerImpl: walking an IEnumUnknown and using an IOleContainer.
//
// Outcomes of the objects' methods come back as a boolean or null, never as
// an exception; only an access violation inside a method throws ComException
// ("Access violation in <method>"), and whatever that call left behind is not
// trusted or touched. Every pointer an object hands out is either wrapped
// (the wrapper owns its reference) or released here.
//
// _next asks for at most kOvEnumBatch elements per call, whatever count Java
// passes: the scratch array is a fixed block on the stack, never sized by the
// caller, and a larger count simply gives a batch of kOvEnumBatch (an
// enumerator may always return fewer elements than asked). A negative count
// returns null without calling Next.
#include <jni.h>

#include <array>
#include <cstddef>

#include "platform/av_guard.h"
#include "platform/com_platform.h"
#include "impl/enumerator_calls.h"
#include "platform/jni_export.h"
#include "runtime/class_cache.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/foreign_calls.h"
#include "runtime/handle.h"
#include "runtime/jni_refs.h"
#include "runtime/wrappers.h"

namespace {

constexpr char kZeroEnumerator[] = "the IEnumUnknown handle is 0";
constexpr char kZeroContainer[] = "the IOleContainer handle is 0";
constexpr ULONG kOvEnumBatch = 256;

// Releases every non-null pointer of objects[0..count), each under the guard.
void release_all(IUnknown** objects, std::size_t count) {
  ov_guarded_release_each(count, [&](std::size_t i) {
    IUnknown* object = objects[i];
    objects[i] = nullptr;
    return object;
  });
}

jobjectArray next(JNIEnv* env, jobject self, jlong handle, jint count) {
  if (count < 0) return nullptr;
  IEnumUnknown* enumerator = ov_from_handle<IEnumUnknown>(handle);
  const ULONG asked =
      static_cast<ULONG>(count) < kOvEnumBatch ? static_cast<ULONG>(count) : kOvEnumBatch;
  std::array<IUnknown*, kOvEnumBatch> fetched_objects{};
  ULONG fetched = 0;
  if (!ov_av_guarded([&] { enumerator->Next(asked, fetched_objects.data(), &fetched); })) {
    ov_throw_com_exception(env, "Access violation in Next");
    return nullptr;
  }
  // The HRESULT says nothing the fetched count does not.
  if (fetched == 0) return nullptr;
  if (fetched > asked) {
    // A count the array cannot hold: nothing is wrapped, and the pointers
    // the enumerator did store are given back rather than leaked.
    release_all(fetched_objects.data(), asked);
    return nullptr;
  }
  OvLocalRef<jobjectArray> array(
      env, env->NewObjectArray(static_cast<jsize>(fetched), ov_cache.iUnknown, nullptr));
  if (!array) {
    release_all(fetched_objects.data(), fetched);
    return nullptr;
  }
  for (ULONG i = 0; i < fetched; ++i) {
    IUnknown* object = fetched_objects[i];
    OvLocalRef<jobject> wrapper(env, ov_new_iunknown_object(env, self, object));
    if (env->ExceptionCheck()) {
      // The wrapper was not made: this pointer and the ones after it are ours.
      release_all(fetched_objects.data() + i, fetched - i);
      return nullptr;
    }
    fetched_objects[i] = nullptr;  // owned by the wrapper now
    env->SetObjectArrayElement(array.get(), static_cast<jsize>(i), wrapper.get());
  }
  return array.release();
}

}  // namespace

extern "C" JNIEXPORT jobjectArray JNICALL
Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1next(JNIEnv* env, jobject self, jlong handle,
                                                            jint count) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroEnumerator),
                      [&] { return next(env, self, handle, count); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1next, 20);

extern "C" JNIEXPORT jboolean JNICALL Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1skip(
    JNIEnv* env, jobject, jlong handle, jint count) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroEnumerator),
                      [&] { return ov_enumerator_skip<IEnumUnknown>(env, handle, count); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1skip, 20);

extern "C" JNIEXPORT jboolean JNICALL
Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1reset(JNIEnv* env, jobject, jlong handle) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroEnumerator),
                      [&] { return ov_enumerator_reset<IEnumUnknown>(env, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1reset, 16);

extern "C" JNIEXPORT jobject JNICALL Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1_1clone(
    JNIEnv* env, jobject self, jlong handle) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroEnumerator),
                      [&] { return ov_enumerator_clone<IEnumUnknown>(env, self, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IEnumUnknownImpl__1_1clone, 16);

namespace {

// The enumerator comes back carrying two references: the one EnumObjects
// returned and one added here. The Java side gives the extra one back.
jobject enum_objects(JNIEnv* env, jobject self, jlong handle, jint flags) {
  IOleContainer* container = ov_from_handle<IOleContainer>(handle);
  IEnumUnknown* enumerator = nullptr;
  HRESULT hr = E_UNEXPECTED;
  if (!ov_av_guarded(
          [&] { hr = container->EnumObjects(static_cast<DWORD>(flags), &enumerator); })) {
    ov_throw_com_exception(env, "Access violation in EnumObjects");
    return nullptr;
  }
  if (hr != S_OK) {
    // Another success code may still have handed out an enumerator.
    if (SUCCEEDED(hr) && enumerator != nullptr) ov_guarded_release(enumerator);
    return nullptr;
  }
  if (enumerator == nullptr) return nullptr;
  if (!ov_guarded_add_ref(enumerator)) {
    ov_throw_com_exception(env, "Access violation in AddRef");
    return nullptr;
  }
  jobject wrapper = ov_new_iunknown_object(env, self, enumerator);
  if (env->ExceptionCheck()) {
    ov_guarded_release(enumerator);
    ov_guarded_release(enumerator);
    return nullptr;
  }
  return wrapper;
}

}  // namespace

extern "C" JNIEXPORT jobject JNICALL
Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1enumObjects(JNIEnv* env, jobject self,
                                                                    jlong handle, jint flags) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroContainer),
                      [&] { return enum_objects(env, self, handle, flags); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1enumObjects, 20);

namespace {

jboolean lock_container(JNIEnv* env, jlong handle, jboolean lock) {
  IOleContainer* container = ov_from_handle<IOleContainer>(handle);
  const BOOL fLock = lock != JNI_FALSE ? TRUE : FALSE;
  HRESULT hr = E_UNEXPECTED;
  if (!ov_av_guarded([&] { hr = container->LockContainer(fLock); })) {
    ov_throw_com_exception(env, "Access violation in LockContainer");
    return JNI_FALSE;
  }
  return hr == S_OK ? JNI_TRUE : JNI_FALSE;
}

}  // namespace

extern "C" JNIEXPORT jboolean JNICALL
Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1lockContainer(JNIEnv* env, jobject,
                                                                      jlong handle, jboolean lock) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroContainer),
                      [&] { return lock_container(env, handle, lock); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IOleContainerImpl__1lockContainer, 20);
