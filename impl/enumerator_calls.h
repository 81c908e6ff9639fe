// Skip, Reset and Clone of the enumerator interfaces (IEnumUnknown,
// IEnumVARIANT), which differ only in the type of their elements. Each
// call runs under the access-violation guard; a fault throws ComException
// ("Access violation in <method>"), and every other outcome comes back as a
// boolean or null.
#pragma once

#include <jni.h>

#include "platform/av_guard.h"
#include "platform/com_platform.h"
#include "runtime/errors.h"
#include "runtime/foreign_calls.h"
#include "runtime/handle.h"
#include "runtime/wrappers.h"

// True when Skip answered S_OK; a negative count is refused without calling.
template <class Enumerator>
jboolean ov_enumerator_skip(JNIEnv* env, jlong handle, jint count) {
  if (count < 0) return JNI_FALSE;
  Enumerator* enumerator = ov_from_handle<Enumerator>(handle);
  HRESULT hr = E_UNEXPECTED;
  if (!ov_av_guarded([&] { hr = enumerator->Skip(static_cast<ULONG>(count)); })) {
    ov_throw_com_exception(env, "Access violation in Skip");
    return JNI_FALSE;
  }
  return hr == S_OK ? JNI_TRUE : JNI_FALSE;
}

// True when Reset answered S_OK.
template <class Enumerator>
jboolean ov_enumerator_reset(JNIEnv* env, jlong handle) {
  Enumerator* enumerator = ov_from_handle<Enumerator>(handle);
  HRESULT hr = E_UNEXPECTED;
  if (!ov_av_guarded([&] { hr = enumerator->Reset(); })) {
    ov_throw_com_exception(env, "Access violation in Reset");
    return JNI_FALSE;
  }
  return hr == S_OK ? JNI_TRUE : JNI_FALSE;
}

// The copy Clone made, as an IUnknown wrapper (made by receiver) that owns
// Clone's reference; null when Clone failed. When no wrapper could be made
// the reference is released here.
template <class Enumerator>
jobject ov_enumerator_clone(JNIEnv* env, jobject receiver, jlong handle) {
  Enumerator* enumerator = ov_from_handle<Enumerator>(handle);
  Enumerator* copy = nullptr;
  HRESULT hr = E_UNEXPECTED;
  if (!ov_av_guarded([&] { hr = enumerator->Clone(&copy); })) {
    ov_throw_com_exception(env, "Access violation in Clone");
    return nullptr;
  }
  if (FAILED(hr)) return nullptr;  // a failed call's out-pointer is not trusted
  jobject wrapper = ov_new_iunknown_object(env, receiver, copy);
  if (env->ExceptionCheck()) {
    ov_guarded_release(copy);
    return nullptr;
  }
  return wrapper;
}
