// Natives of com.qel.vandrel.com.win32.impl.IEnumVARIANTImpl: walking an
// IEnumVARIANT, the enumerator automation collections hand out through
// their _NewEnum member (DISPID_NEWENUM).
//
// Each element is converted as a call result is (marshal/variant_to_java.h):
// scalars boxed, strings, dates, arrays, interface pointers as wrappers that
// own the reference Next handed out. As for IEnumUnknown, outcomes come back
// as a boolean or null, and an access violation inside a method throws
// ComException ("Access violation in <method>") without touching what that
// call left behind.
//
// _next asks for at most kOvVariantBatch elements per call into a fixed block
// on the stack; a larger count gives a batch of at most that many. A negative
// count returns null without calling Next. When an element cannot be
// converted, its DispatchVariant2JavaException is thrown and the whole batch
// is given back: the wrappers already made are closed and the elements not
// yet converted are cleared.
#include <jni.h>

#include <array>

#include "impl/enumerator_calls.h"
#include "marshal/java_to_variant.h"
#include "marshal/variant_to_java.h"
#include "platform/av_guard.h"
#include "platform/com_platform.h"
#include "platform/jni_export.h"
#include "runtime/class_cache.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/handle.h"
#include "runtime/jni_refs.h"
#include "runtime/wrappers.h"

namespace {

constexpr char kZeroEnumerator[] = "the IEnumVARIANT handle is 0";
constexpr ULONG kOvVariantBatch = 256;

// The fetched elements not yet converted: cleared, with everything they
// hold, when it goes away, however the batch ends (a C++ exception too).
class PendingElements {
 public:
  PendingElements(VARIANT* elements, ULONG count) : elements_(elements), count_(count) {}
  ~PendingElements() {
    bool faulted = false;
    for (ULONG i = next_; i < count_; ++i) ov_clear_variant(&elements_[i], true, &faulted);
  }
  PendingElements(const PendingElements&) = delete;
  PendingElements& operator=(const PendingElements&) = delete;

  bool empty() const { return next_ == count_; }
  ULONG index() const { return next_; }
  // The next element, no longer cleared here: the caller converts and clears it.
  VARIANT* take() { return &elements_[next_++]; }

 private:
  VARIANT* elements_;
  ULONG count_;
  ULONG next_ = 0;
};

jobjectArray next(JNIEnv* env, jobject self, jlong handle, jint count) {
  if (count < 0) return nullptr;
  IEnumVARIANT* enumerator = ov_from_handle<IEnumVARIANT>(handle);
  const ULONG asked =
      static_cast<ULONG>(count) < kOvVariantBatch ? static_cast<ULONG>(count) : kOvVariantBatch;
  std::array<VARIANT, kOvVariantBatch> elements;
  for (ULONG i = 0; i < asked; ++i) VariantInit(&elements[i]);
  ULONG fetched = 0;
  if (!ov_av_guarded([&] { enumerator->Next(asked, elements.data(), &fetched); })) {
    ov_throw_com_exception(env, "Access violation in Next");
    return nullptr;
  }
  // The HRESULT says nothing the fetched count does not.
  if (fetched == 0) return nullptr;
  if (fetched > asked) {
    // A count the block cannot hold: nothing is converted, and what the
    // enumerator did store is given back rather than leaked.
    PendingElements stored(elements.data(), asked);
    return nullptr;
  }
  PendingElements pending(elements.data(), fetched);
  OvLocalRef<jobjectArray> array(
      env, env->NewObjectArray(static_cast<jsize>(fetched), ov_cache.object, nullptr));
  if (!array) return nullptr;
  while (!pending.empty()) {
    const jsize index = static_cast<jsize>(pending.index());
    VARIANT* element = pending.take();
    OvLocalRef<jobject> value(env, ov_variant_to_java(env, self, element));
    // An interface element now belongs to its wrapper, unless the
    // conversion was refused (an exception pending, whatever the value):
    // then nobody took the reference over.
    const bool converted = env->ExceptionCheck() == JNI_FALSE;
    bool faulted = false;
    ov_clear_variant(element, !converted, &faulted);
    if (converted && faulted) ov_throw_com_exception(env, "Access violation in VariantClear");
    if (!converted || faulted) {
      // The batch is given back: the wrappers made so far are closed through
      // the array, in one call, while the exception waits.
      OvPendingException held(env);
      env->SetObjectArrayElement(array.get(), index, value.get());
      ov_release_iresources(env, array.get());
      return nullptr;
    }
    env->SetObjectArrayElement(array.get(), index, value.get());
  }
  return array.release();
}

}  // namespace

extern "C" JNIEXPORT jobjectArray JNICALL
Java_com_qel_vandrel_com_win32_impl_IEnumVARIANTImpl__1next(JNIEnv* env, jobject self, jlong handle,
                                                            jint count) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroEnumerator),
                      [&] { return next(env, self, handle, count); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IEnumVARIANTImpl__1next, 20);

extern "C" JNIEXPORT jboolean JNICALL Java_com_qel_vandrel_com_win32_impl_IEnumVARIANTImpl__1skip(
    JNIEnv* env, jobject, jlong handle, jint count) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroEnumerator),
                      [&] { return ov_enumerator_skip<IEnumVARIANT>(env, handle, count); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IEnumVARIANTImpl__1skip, 20);

extern "C" JNIEXPORT jboolean JNICALL
Java_com_qel_vandrel_com_win32_impl_IEnumVARIANTImpl__1reset(JNIEnv* env, jobject, jlong handle) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroEnumerator),
                      [&] { return ov_enumerator_reset<IEnumVARIANT>(env, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IEnumVARIANTImpl__1reset, 16);

extern "C" JNIEXPORT jobject JNICALL Java_com_qel_vandrel_com_win32_impl_IEnumVARIANTImpl__1_1clone(
    JNIEnv* env, jobject self, jlong handle) {
  return ov_jni_entry(env, ov_calls_com_on(handle, kZeroEnumerator),
                      [&] { return ov_enumerator_clone<IEnumVARIANT>(env, self, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IEnumVARIANTImpl__1_1clone, 16);
