// Natives of com.qel.vandrel.com.win32.ComService: start and stop COM on a
// thread, obtain objects, give back variant handles, show a message box.
#include <jni.h>

#include "platform/com_platform.h"
#include "platform/jni_export.h"
#include "runtime/class_cache.h"
#include "runtime/com_refs.h"
#include "runtime/errors.h"
#include "runtime/handle.h"
#include "runtime/queued_variant.h"
#include "runtime/release_queue.h"

namespace {

// The text of a String argument; null (NullPointerException pending) when
// the argument is null.
OvMallocPtr<OLECHAR> argument_text(JNIEnv* env, jstring value, const char* what) {
  if (value == nullptr) {
    ov_throw_java_lang(env, "NullPointerException", what);
    return nullptr;
  }
  return OvMallocPtr<OLECHAR>(ov_to_wide_string(env, value));
}

// An unparsed class identifier stays all zeros, which no class has.
bool class_id(JNIEnv* env, jstring text, const char* what, CLSID* clsid) {
  OvMallocPtr<OLECHAR> chars = argument_text(env, text, what);
  if (!chars) return false;
  *clsid = CLSID{};
  CLSIDFromString(chars.get(), clsid);
  return true;
}

}  // namespace

extern "C" {

JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_ComService__1initialize(JNIEnv* env, jclass) {
  if (!ov_init_class_cache(env)) return;
  if (!ov_release_queue_init()) return;
  const HRESULT hr = CoInitialize(nullptr);
  if (hr != S_OK && hr != S_FALSE) ov_check_hresult(env, hr, nullptr);
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1initialize, 8);

JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_ComService__1uninitialize(JNIEnv*, jclass) {
  ov_release_queue_drain();
  CoUninitialize();
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1uninitialize, 8);

JNIEXPORT jlong JNICALL
Java_com_qel_vandrel_com_win32_ComService__1coCreateInstance__Ljava_lang_String_2I(
    JNIEnv* env, jclass, jstring clsid_text, jint context) {
  CLSID clsid;
  if (!class_id(env, clsid_text, "class identifier is null", &clsid)) return 0;
  IUnknown* object = nullptr;
  CoCreateInstance(clsid, nullptr, static_cast<DWORD>(context), IID_IUnknown,
                   reinterpret_cast<void**>(&object));
  return ov_to_handle(object);
}
OV_JNI_EXPORT_STDCALL(
    Java_com_qel_vandrel_com_win32_ComService__1coCreateInstance__Ljava_lang_String_2I, 16);

JNIEXPORT jlong JNICALL
Java_com_qel_vandrel_com_win32_ComService__1coGetObject(JNIEnv* env, jclass, jstring display_name) {
  OvMallocPtr<OLECHAR> name = argument_text(env, display_name, "display name is null");
  if (!name) return 0;
  IUnknown* object = nullptr;
  CoGetObject(name.get(), nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
  return ov_to_handle(object);
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1coGetObject, 12);

JNIEXPORT jlong JNICALL Java_com_qel_vandrel_com_win32_ComService__1getActiveObject(
    JNIEnv* env, jclass, jstring clsid_text) {
  CLSID clsid;
  if (!class_id(env, clsid_text, "class identifier is null", &clsid)) return 0;
  IUnknown* object = nullptr;
  GetActiveObject(clsid, nullptr, &object);
  return ov_to_handle(object);
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1getActiveObject, 12);

JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_ComService__1releaseVariant(JNIEnv*, jclass,
                                                                                  jlong handle) {
  auto* block = ov_from_handle<VARIANT>(handle);
  if (block == nullptr) return;
  VariantClear(block);
  GlobalFree(block);
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1releaseVariant, 16);

// The library's own: the safety net of a DispatchVariant2JavaException that
// Java never released. Runs on any thread (the cleaner's), so it touches
// neither COM nor the class cache; the next drain of the release queue, on a
// COM thread, clears the VARIANT.
JNIEXPORT void JNICALL
Java_com_qel_vandrel_com_win32_ComService__1releaseVariantLater(JNIEnv* env, jclass, jlong handle) {
  auto* block = ov_from_handle<VARIANT>(handle);
  if (block == nullptr) return;
  if (!ov_release_variant_later(block)) {
    ov_throw_java_lang(env, "OutOfMemoryError", "no memory to queue a variant for release");
  }
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1releaseVariantLater, 16);

JNIEXPORT jint JNICALL Java_com_qel_vandrel_com_win32_ComService__1messageBox(JNIEnv* env, jclass,
                                                                              jstring text,
                                                                              jstring caption,
                                                                              jint style) {
  OvMallocPtr<OLECHAR> text_chars = argument_text(env, text, "message box text is null");
  if (!text_chars) return 0;
  OvMallocPtr<OLECHAR> caption_chars = argument_text(env, caption, "message box caption is null");
  if (!caption_chars) return 0;
  return MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(text_chars.get()),
                     reinterpret_cast<LPCWSTR>(caption_chars.get()), static_cast<UINT>(style));
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1messageBox, 20);

}  // extern "C"
