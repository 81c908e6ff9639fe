// Natives of com.qel.vandrel.com.win32.impl.IUrlHistoryStg2Impl: the
// platform's URL history (CLSID_CUrlHistory) asked whether a URL was visited.
//
// None throws for an outcome of the history object: a failed creation gives
// 0, a failed query false. A 0 handle is answered the same way (false, 0)
// without calling anything; a null url throws NullPointerException, and an
// access violation inside the object's methods throws ComException.
#include <jni.h>

#include "platform/av_guard.h"
#include "platform/com_platform.h"
#include "platform/jni_export.h"
#include "runtime/com_refs.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/foreign_calls.h"
#include "runtime/handle.h"
#include "runtime/jni_refs.h"

namespace {

jlong initialize() {
  IUrlHistoryStg2* history = nullptr;
  // The result is carried by the pointer alone: null when creation failed.
  const HRESULT hr =
      CoCreateInstance(CLSID_CUrlHistory, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                       IID_IUrlHistoryStg2, reinterpret_cast<void**>(&history));
  if (FAILED(hr)) return 0;
  return ov_to_handle(history);
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL
Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1initialize(JNIEnv* env, jclass) {
  return ov_jni_entry(env, kOvCallsCom, [&] { return initialize(); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1initialize, 8);

namespace {

// A BSTR with the string's UTF-16 units, the Java characters released again
// before it is used; null with OutOfMemoryError pending.
BSTR copy_to_bstr(JNIEnv* env, jstring string) {
  OvStringChars chars(env, string);
  if (!chars) return nullptr;
  BSTR copy = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(chars.get()),
                                static_cast<UINT>(chars.length()));
  if (copy == nullptr) ov_throw_java_lang(env, "OutOfMemoryError", "no memory for the url's BSTR");
  return copy;
}

// QueryUrl fills a record that the platform expects zeroed with its size
// set, and stores task-memory strings in it that the caller frees.
jboolean is_visited(JNIEnv* env, jlong handle, jstring url) {
  if (url == nullptr) {
    ov_throw_java_lang(env, "NullPointerException", "the url to look up is null");
    return JNI_FALSE;
  }
  IUrlHistoryStg2* history = ov_from_handle<IUrlHistoryStg2>(handle);
  if (history == nullptr) return JNI_FALSE;
  OvBstr text(copy_to_bstr(env, url));
  if (text.get() == nullptr) return JNI_FALSE;  // OutOfMemoryError pending
  STATURL record{};
  record.cbSize = sizeof(record);
  HRESULT hr = E_UNEXPECTED;
  BSTR query = text.get();
  if (!ov_av_guarded([&] { hr = history->QueryUrl(query, STATURL_QUERYFLAG_TOPLEVEL, &record); })) {
    ov_throw_com_exception(env, "Access violation in QueryUrl");
    return JNI_FALSE;  // what the faulting call left in the record is not trusted
  }
  const bool visited = SUCCEEDED(hr) && record.pwcsUrl != nullptr;
  // The record started empty: anything in it now was stored by QueryUrl.
  CoTaskMemFree(record.pwcsUrl);
  CoTaskMemFree(record.pwcsTitle);
  return visited ? JNI_TRUE : JNI_FALSE;
}

}  // namespace

extern "C" JNIEXPORT jboolean JNICALL
Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1isVisited(JNIEnv* env, jclass,
                                                                    jlong handle, jstring url) {
  return ov_jni_entry(env, kOvCallsCom, [&] { return is_visited(env, handle, url); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1isVisited, 20);

namespace {

jint release(JNIEnv* env, jlong handle) {
  IUnknown* history = ov_from_handle<IUrlHistoryStg2>(handle);
  if (history == nullptr) return 0;
  ULONG count = 0;
  if (!ov_guarded_release(history, &count)) {
    ov_throw_com_exception(env, "Access violation in release");
    return -1;
  }
  return static_cast<jint>(count);
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1release(
    JNIEnv* env, jclass, jlong handle) {
  return ov_jni_entry(env, kOvCallsCom, [&] { return release(env, handle); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IUrlHistoryStg2Impl__1release, 16);
