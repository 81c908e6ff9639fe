// Natives of com.qel.vandrel.com.win32.Handler: create a Handler, bind it to
// its Java object, connect it to a source's connection point and disconnect
// it; plus the library's own release of the Java side's hold and the count
// of live Handlers.
#include <jni.h>

#include "platform/av_guard.h"
#include "platform/com_platform.h"
#include "platform/jni_export.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/foreign_calls.h"
#include "runtime/handle.h"
#include "runtime/wrappers.h"
#include "sink/handler.h"

namespace {

constexpr char kZeroHandler[] = "the Handler handle is 0";
constexpr char kZeroSource[] = "the event source handle is 0";

constexpr OvNeeds handler_needs(jlong handler) {
  return OvNeeds{true, false, kZeroHandler, handler};
}

jlong create_handler(JNIEnv* env, jclass type) {
  ov_delete_orphaned_handler_refs(env);
  if (ov_default_handler_method.load() == nullptr) {
    jmethodID on_event =
        env->GetMethodID(type, "defaultHandler", "(I[Ljava/lang/Object;)Ljava/lang/Object;");
    if (on_event == nullptr) return 0;  // NoSuchMethodError pending
    jmethodID on_names = env->GetMethodID(type, "getIDsOfNames", "([Ljava/lang/String;)[I");
    if (on_names == nullptr) return 0;
    jmethodID new_dispatch =
        env->GetMethodID(type, "newIDispatch", "(J)Lcom/qel/vandrel/com/win32/IDispatch;");
    if (new_dispatch == nullptr) return 0;
    jmethodID new_unknown =
        env->GetMethodID(type, "newIUnknown", "(J)Lcom/qel/vandrel/com/win32/IUnknown;");
    if (new_unknown == nullptr) return 0;
    // The others first, so a reader that sees the first sees them all.
    ov_handler_new_idispatch_method.store(new_dispatch);
    ov_handler_new_iunknown_method.store(new_unknown);
    ov_get_ids_of_names_method.store(on_names);
    ov_default_handler_method.store(on_event);
  }
  return ov_to_handle(static_cast<IDispatch*>(new Handler()));
}

Handler* handler_of(jlong handle) {
  return static_cast<Handler*>(ov_from_handle<IDispatch>(handle));
}

void connect(JNIEnv* env, jlong handler, jlong source, jlong iid_high, jlong iid_low) {
  if (handler == 0) {
    ov_throw_java_lang(env, "NullPointerException", kZeroHandler);
    return;
  }
  IID iid;
  ov_guid_from_longs(iid_high, iid_low, &iid);
  IUnknown* object = ov_from_handle<IUnknown>(source);
  IConnectionPointContainer* container = nullptr;
  HRESULT hr = E_FAIL;
  if (!ov_guarded_query_interface(object, IID_IConnectionPointContainer,
                                  reinterpret_cast<void**>(&container), &hr)) {
    ov_throw_dispatch_exception(env, "Access Violation");
    return;
  }
  if (!ov_check_hresult(env, hr, nullptr)) return;
  IConnectionPoint* point = nullptr;
  hr = E_FAIL;
  const bool found = ov_av_guarded([&] { hr = container->FindConnectionPoint(iid, &point); });
  const bool released = ov_guarded_release(container);
  if (!found || !released) {
    if (found && SUCCEEDED(hr) && point != nullptr) ov_guarded_release(point);
    ov_throw_dispatch_exception(env, "Access Violation");
    return;
  }
  if (!ov_check_hresult(env, hr, nullptr)) return;
  if (point == nullptr) {
    ov_throw_dispatch_exception(env, "FindConnectionPoint returned no connection point");
    return;
  }
  handler_of(handler)->advise(env, point, iid);
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL
Java_com_qel_vandrel_com_win32_Handler__1createHandler(JNIEnv* env, jclass type) {
  return ov_jni_entry(env, kOvNeedsCache, [&] { return create_handler(env, type); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_Handler__1createHandler, 8);

extern "C" JNIEXPORT void JNICALL
Java_com_qel_vandrel_com_win32_Handler__1setObject(JNIEnv* env, jobject self, jlong handler) {
  ov_jni_entry(env, handler_needs(handler), [&] {
    ov_delete_orphaned_handler_refs(env);
    handler_of(handler)->setObject(env, self);
  });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_Handler__1setObject, 16);

extern "C" JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_Handler__1connect(
    JNIEnv* env, jobject, jlong handler, jlong source, jlong iid_high, jlong iid_low) {
  ov_jni_entry(env, ov_calls_com_on(source, kZeroSource),
               [&] { connect(env, handler, source, iid_high, iid_low); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_Handler__1connect, 40);

extern "C" JNIEXPORT void JNICALL
Java_com_qel_vandrel_com_win32_Handler__1disconnect(JNIEnv* env, jobject, jlong handler) {
  ov_jni_entry(env, ov_calls_com_on(handler, kZeroHandler),
               [&] { handler_of(handler)->unadvise(); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_Handler__1disconnect, 16);

// One Release of the Handler; the Java side ends its hold with two.
extern "C" JNIEXPORT jint JNICALL Java_com_qel_vandrel_com_win32_Handler__1release(JNIEnv* env,
                                                                                   jobject,
                                                                                   jlong handler) {
  return ov_jni_entry(env, handler_needs(handler), [&] {
    const jint before = static_cast<jint>(handler_of(handler)->Release());
    ov_delete_orphaned_handler_refs(env);
    return before;
  });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_Handler__1release, 16);

extern "C" JNIEXPORT jint JNICALL Java_com_qel_vandrel_com_win32_Handler__1liveHandlers(JNIEnv* env,
                                                                                        jclass) {
  return ov_jni_entry(env, kOvNeedsNothing, [&] { return static_cast<jint>(Handler::live()); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_Handler__1liveHandlers, 8);
