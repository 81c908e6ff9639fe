// Natives of com.qel.vandrel.com.win32.ComService: start and stop COM on a
// thread, obtain objects, give back variant handles, show a message box.
#include <jni.h>

#include "platform/com_platform.h"
#include "platform/jni_export.h"
#include "runtime/class_cache.h"
#include "runtime/com_refs.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/handle.h"
#include "runtime/last_result.h"
#include "runtime/queued_variant.h"
#include "runtime/release_queue.h"
#include "runtime/variant_clear.h"

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

// An unparsed class identifier stays all zeros, which no class has; the
// parse result is what *parsed receives.
bool class_id(JNIEnv* env, jstring text, const char* what, CLSID* clsid, HRESULT* parsed) {
  OvMallocPtr<OLECHAR> chars = argument_text(env, text, what);
  if (!chars) return false;
  *clsid = CLSID{};
  *parsed = CLSIDFromString(chars.get(), clsid);
  return true;
}

// What the Java side learns of a creation: the parse failure when the text
// named no class (more telling than the creation's own "not registered"),
// the creation's HRESULT otherwise.
void record_creation(HRESULT parsed, HRESULT created) {
  ov_set_last_result(FAILED(parsed) && FAILED(created) ? parsed : created);
}

}  // namespace

namespace {

void initialize(JNIEnv* env) {
  if (!ov_init_class_cache(env)) return;
  if (!ov_release_queue_init()) return;
  const HRESULT hr = CoInitialize(nullptr);
  if (hr != S_OK && hr != S_FALSE) ov_check_hresult(env, hr, nullptr);
}

}  // namespace

extern "C" JNIEXPORT void JNICALL
Java_com_qel_vandrel_com_win32_ComService__1initialize(JNIEnv* env, jclass) {
  ov_jni_entry(env, kOvNeedsNothing, [&] { initialize(env); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1initialize, 8);

namespace {

void uninitialize() {
  ov_release_queue_drain();
  CoUninitialize();
}

}  // namespace

extern "C" JNIEXPORT void JNICALL
Java_com_qel_vandrel_com_win32_ComService__1uninitialize(JNIEnv* env, jclass) {
  ov_jni_entry(env, kOvNeedsNothing, [&] { uninitialize(); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1uninitialize, 8);

namespace {

jlong co_create_instance(JNIEnv* env, jstring clsid_text, jint context) {
  CLSID clsid;
  HRESULT parsed = S_OK;
  if (!class_id(env, clsid_text, "class identifier is null", &clsid, &parsed)) return 0;
  IUnknown* object = nullptr;
  const HRESULT hr = CoCreateInstance(clsid, nullptr, static_cast<DWORD>(context), IID_IUnknown,
                                      reinterpret_cast<void**>(&object));
  record_creation(parsed, hr);
  return ov_to_handle(object);
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL
Java_com_qel_vandrel_com_win32_ComService__1coCreateInstance__Ljava_lang_String_2I(
    JNIEnv* env, jclass, jstring clsid_text, jint context) {
  return ov_jni_entry(env, kOvCallsCom,
                      [&] { return co_create_instance(env, clsid_text, context); });
}
OV_JNI_EXPORT_STDCALL(
    Java_com_qel_vandrel_com_win32_ComService__1coCreateInstance__Ljava_lang_String_2I, 16);

namespace {

jlong co_get_object(JNIEnv* env, jstring display_name) {
  OvMallocPtr<OLECHAR> name = argument_text(env, display_name, "display name is null");
  if (!name) return 0;
  IUnknown* object = nullptr;
  ov_set_last_result(
      CoGetObject(name.get(), nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
  return ov_to_handle(object);
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL
Java_com_qel_vandrel_com_win32_ComService__1coGetObject(JNIEnv* env, jclass, jstring display_name) {
  return ov_jni_entry(env, kOvCallsCom, [&] { return co_get_object(env, display_name); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1coGetObject, 12);

namespace {

jlong get_active_object(JNIEnv* env, jstring clsid_text) {
  CLSID clsid;
  HRESULT parsed = S_OK;
  if (!class_id(env, clsid_text, "class identifier is null", &clsid, &parsed)) return 0;
  IUnknown* object = nullptr;
  record_creation(parsed, GetActiveObject(clsid, nullptr, &object));
  return ov_to_handle(object);
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL Java_com_qel_vandrel_com_win32_ComService__1getActiveObject(
    JNIEnv* env, jclass, jstring clsid_text) {
  return ov_jni_entry(env, kOvCallsCom, [&] { return get_active_object(env, clsid_text); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1getActiveObject, 12);

namespace {

// Any thread, COM or not (a collected exception's variant may come back on
// a cleaner thread): nothing is drained here.
void release_variant(JNIEnv* env, jlong handle) {
  auto* block = ov_from_handle<VARIANT>(handle);
  if (block == nullptr) return;
  // The copy may hold interfaces (an array of them): their releases run
  // under the guard, and one that faults leaves the rest released.
  const bool clean = ov_variant_clear_guarded(block);
  GlobalFree(block);
  if (!clean) ov_throw_com_exception(env, "Access violation in release");
}

}  // namespace

extern "C" JNIEXPORT void JNICALL
Java_com_qel_vandrel_com_win32_ComService__1releaseVariant(JNIEnv* env, jclass, jlong handle) {
  ov_jni_entry(env, kOvNeedsNothing, [&] { release_variant(env, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1releaseVariant, 16);

namespace {

// The library's own: the safety net of a DispatchVariant2JavaException that
// Java never released. Runs on any thread (the cleaner's), so it touches
// neither COM nor the class cache; the next drain of the release queue, on a
// COM thread, clears the VARIANT.
void release_variant_later(JNIEnv* env, jlong handle) {
  auto* block = ov_from_handle<VARIANT>(handle);
  if (block == nullptr) return;
  if (!ov_release_variant_later(block)) {
    ov_throw_java_lang(env, "OutOfMemoryError", "no memory to queue a variant for release");
  }
}

}  // namespace

extern "C" JNIEXPORT void JNICALL
Java_com_qel_vandrel_com_win32_ComService__1releaseVariantLater(JNIEnv* env, jclass, jlong handle) {
  ov_jni_entry(env, kOvNeedsNothing, [&] { release_variant_later(env, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1releaseVariantLater, 16);

// The library's own: the VARTYPE of a variant block the library made for a
// DispatchVariant2JavaException, read once as the exception is built (while
// the block is its own and alive), so that Java can print the type by name.
// -1 for no block. Touches neither COM nor the cache.
extern "C" JNIEXPORT jint JNICALL
Java_com_qel_vandrel_com_win32_ComService__1variantType(JNIEnv* env, jclass, jlong handle) {
  return ov_jni_entry(env, kOvNeedsNothing, [&] {
    const VARIANT* block = ov_from_handle<VARIANT>(handle);
    return block == nullptr ? jint{-1} : static_cast<jint>(block->vt);
  });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1variantType, 16);

// The library's own: the HRESULT of the calling thread's last creation or
// name lookup (runtime/last_result.h). Touches neither COM nor the cache.
extern "C" JNIEXPORT jint JNICALL
Java_com_qel_vandrel_com_win32_ComService__1lastResult(JNIEnv* env, jclass) {
  return ov_jni_entry(env, kOvNeedsNothing, [] { return static_cast<jint>(ov_last_result()); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1lastResult, 8);

namespace {

jint message_box(JNIEnv* env, jstring text, jstring caption, jint style) {
  OvMallocPtr<OLECHAR> text_chars = argument_text(env, text, "message box text is null");
  if (!text_chars) return 0;
  OvMallocPtr<OLECHAR> caption_chars = argument_text(env, caption, "message box caption is null");
  if (!caption_chars) return 0;
  return MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(text_chars.get()),
                     reinterpret_cast<LPCWSTR>(caption_chars.get()), static_cast<UINT>(style));
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_com_qel_vandrel_com_win32_ComService__1messageBox(
    JNIEnv* env, jclass, jstring text, jstring caption, jint style) {
  // The texts come through toString(), a cache entry.
  return ov_jni_entry(env, kOvNeedsCache, [&] { return message_box(env, text, caption, style); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_ComService__1messageBox, 20);
