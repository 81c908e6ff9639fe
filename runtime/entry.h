// The barrier at the library's two kinds of boundary: every JNI native goes
// through ov_jni_entry, every method of the library's own COM objects through
// ov_com_entry. Nothing thrown in C++ (std::bad_alloc from a std::vector or
// std::string on a call's path, above all) ever unwinds through a JVM frame
// or a COM caller's frame.
//
// A native is a thin entry: it names what it needs and hands its arguments to
// a named operation in an anonymous namespace, which reports failure the usual
// way (a pending Java exception and a neutral result):
//
//   namespace {
//   jint add_ref(jlong handle) { ... }
//   }  // namespace
//
//   extern "C" JNIEXPORT jint JNICALL
//   Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addRef(JNIEnv* env, jobject, jlong handle) {
//     return ov_jni_entry(env, ov_calls_com_on(handle, kOvZeroIUnknown),
//                         [&] { return add_ref(handle); });
//   }
//   OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IUnknownImpl__1addRef, 16);
//
// Before the operation runs, the entry, by what the native needs:
//  - refuses the call with IllegalStateException while the class cache is
//    empty, before the first successful ComService._initialize of the process;
//  - refuses a 0 interface handle with NullPointerException;
//  - drains the release wait queue when the native calls COM, so a pointer
//    queued by closeLater() (or by a collected wrapper) is released at the
//    next COM call of any COM thread. An empty queue costs one atomic read.
// A C++ exception that leaves the operation becomes OutOfMemoryError
// (std::bad_alloc) or java.lang.Error (anything else, with its what() text),
// and the native returns its neutral value: 0, null, false or nothing. A Java
// exception already pending at that moment is the first failure and stays.
#pragma once

#include <jni.h>

#include <type_traits>

#include "platform/com_platform.h"

// What a native needs before its operation may run.
struct OvNeeds {
  bool cache = false;          // reads the class cache
  bool com = false;            // calls COM on this thread: the release wait queue is drained first
  const char* zero = nullptr;  // when set, handle must not be 0; the NullPointerException's message
  jlong handle = 0;
};

// Works before ComService._initialize: touches no cache entry.
inline constexpr OvNeeds kOvNeedsNothing{};
// Reads the class cache (conversions, the package's exception classes).
inline constexpr OvNeeds kOvNeedsCache{true, false, nullptr, 0};
// Calls COM without an interface handle of Java's (object creation and lookup).
inline constexpr OvNeeds kOvCallsCom{true, true, nullptr, 0};

// Calls COM through the interface that handle carries.
constexpr OvNeeds ov_calls_com_on(jlong handle, const char* zero_message) {
  return OvNeeds{true, true, zero_message, handle};
}

inline constexpr char kOvZeroIUnknown[] = "the IUnknown handle is 0";
inline constexpr char kOvZeroIDispatch[] = "the IDispatch handle is 0";

// The message of the IllegalStateException thrown before initialisation.
extern const char kOvNotInitialised[];

// True when the operation may run; otherwise the refusal is pending in env.
// May run foreign code (the queued Releases).
bool ov_entry_admits(JNIEnv* env, const OvNeeds& needs);

// Called inside a catch handler: throws the Java exception that stands for
// the C++ exception being handled, unless a Java exception is pending.
void ov_throw_for_current_exception(JNIEnv* env) noexcept;

// Called inside a catch handler: the HRESULT that stands for the C++
// exception being handled (E_OUTOFMEMORY for std::bad_alloc, E_UNEXPECTED
// for anything else).
HRESULT ov_hresult_for_current_exception() noexcept;

template <class Operation>
auto ov_jni_entry(JNIEnv* env, const OvNeeds& needs, Operation&& operation) noexcept
    -> decltype(operation()) {
  using Result = decltype(operation());
  try {
    if (ov_entry_admits(env, needs)) return operation();
  } catch (...) {
    ov_throw_for_current_exception(env);
  }
  if constexpr (!std::is_void_v<Result>) return Result{};
}

// For an HRESULT method of a COM object of the library's own:
//
//   HRESULT STDMETHODCALLTYPE Handler::Invoke(...) {
//     return ov_com_entry([&] { return invoke(...); });
//   }
//
// AddRef and Release allocate nothing and need no barrier.
template <class Method>
HRESULT ov_com_entry(Method&& method) noexcept {
  try {
    return method();
  } catch (...) {
    return ov_hresult_for_current_exception();
  }
}
