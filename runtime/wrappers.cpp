#include "runtime/wrappers.h"

#include <cstdint>

#include "runtime/class_cache.h"
#include "runtime/errors.h"
#include "runtime/handle.h"
#include "runtime/release_queue.h"

void ov_guid_from_longs(jlong high, jlong low, GUID* guid) {
  const auto hi = static_cast<std::uint64_t>(high);
  const auto lo = static_cast<std::uint64_t>(low);
  guid->Data1 = static_cast<std::uint32_t>(hi >> 32);
  guid->Data2 = static_cast<std::uint16_t>(hi >> 16);
  guid->Data3 = static_cast<std::uint16_t>(hi);
  for (int i = 0; i < 8; ++i) guid->Data4[i] = static_cast<unsigned char>(lo >> (56 - 8 * i));
}

bool ov_is_same_object(JNIEnv* env, jobject a, jobject b) {
  return a != nullptr && b != nullptr && env->IsSameObject(a, b);
}

jlong ov_get_resource_ptr(JNIEnv* env, jobject object) {
  if (object == nullptr) {
    ov_throw_java_lang(env, "NullPointerException", "null resource has no pointer");
    return 0;
  }
  return env->CallLongMethod(object, ov_cache.getPtr);
}

void ov_release_iresources(JNIEnv* env, jobject object) {
  if (object == nullptr) return;
  env->CallStaticVoidMethod(ov_cache.comService, ov_cache.internalReleaseIResources, object);
}

jobject ov_get_error_object(JNIEnv* env, SCODE scode) {
  return env->CallStaticObjectMethod(ov_cache.comService, ov_cache.internalGetErrorObject,
                                     static_cast<jint>(scode));
}

std::atomic<jmethodID> ov_handler_new_idispatch_method{nullptr};
std::atomic<jmethodID> ov_handler_new_iunknown_method{nullptr};

namespace {

// The factory method for receiver. Every receiver but an event Handler is a
// wrapper (IUnknownImpl or a subclass) and makes wrappers through the
// factory methods of IUnknownImpl, so an enumerator makes the wrappers of its
// elements as an IDispatchImpl makes those of its call results. A Handler is no
// wrapper and has its own; until the first Handler exists no receiver can be
// one, and the choice costs no JNI call.
jmethodID factory_of(JNIEnv* env, jobject receiver, jmethodID wrapper_method,
                     const std::atomic<jmethodID>& handler_method) {
  const jmethodID handler = handler_method.load();
  if (handler == nullptr || env->IsInstanceOf(receiver, ov_cache.iUnknownImpl)) {
    return wrapper_method;
  }
  return handler;
}

}  // namespace

jobject ov_new_idispatch_object(JNIEnv* env, jobject receiver, IDispatch* p) {
  if (p == nullptr) return nullptr;
  ov_release_queue_drain();
  return env->CallObjectMethod(
      receiver,
      factory_of(env, receiver, ov_cache.unknownImplNewIDispatch, ov_handler_new_idispatch_method),
      ov_to_handle(p));
}

jobject ov_new_iunknown_object(JNIEnv* env, jobject receiver, IUnknown* p) {
  ov_release_queue_drain();
  if (p == nullptr) return nullptr;
  return env->CallObjectMethod(
      receiver, factory_of(env, receiver, ov_cache.newIUnknown, ov_handler_new_iunknown_method),
      ov_to_handle(p));
}
