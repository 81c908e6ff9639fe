// Natives of com.qel.vandrel.com.win32.impl.IDispatchImpl: GetIDsOfNames,
// Invoke and property puts, with the arguments and the result converted by
// marshal/.
#include "impl/dispatch_natives.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "marshal/java_to_variant.h"
#include "marshal/variant_to_java.h"
#include "platform/av_guard.h"
#include "platform/com_platform.h"
#include "platform/jni_export.h"
#include "runtime/com_refs.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/handle.h"
#include "runtime/jni_refs.h"
#include "runtime/last_result.h"
#include "runtime/wrappers.h"

namespace {

// The exception record of one Invoke: zeroed before the call, its strings
// freed when the native is done with it (after ov_check_hresult has put the
// description into the message).
class ExceptionRecord {
 public:
  ExceptionRecord() { std::memset(&info_, 0, sizeof info_); }
  ~ExceptionRecord() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
  }
  ExceptionRecord(const ExceptionRecord&) = delete;
  ExceptionRecord& operator=(const ExceptionRecord&) = delete;

  EXCEPINFO* get() { return &info_; }

  // A callee may leave only its fill-in routine for DISP_E_EXCEPTION; the
  // caller runs it (the callee's code, under the guard) to get the
  // description. False when it faulted.
  bool complete(HRESULT hr) {
    if (hr != DISP_E_EXCEPTION || info_.pfnDeferredFillIn == nullptr) return true;
    auto fill_in = info_.pfnDeferredFillIn;
    info_.pfnDeferredFillIn = nullptr;
    EXCEPINFO* info = &info_;
    return ov_av_guarded([fill_in, info] { fill_in(info); });
  }

 private:
  EXCEPINFO info_;
};

// The argument VARIANTs of one call, Java argument i in slot n - 1 - i.
// Cleared when the call is over without clear_interfaces: interface pointers
// borrowed from Java wrappers and Ref cells stay untouched. A call with few
// arguments keeps them in the block itself, without an allocation.
class ArgumentBlock {
 public:
  explicit ArgumentBlock(jsize count)
      : count_(count),
        heap_(count > kInlineSlots ? static_cast<VARIANT*>(std::calloc(
                                         static_cast<std::size_t>(count), sizeof(VARIANT)))
                                   : nullptr),
        slots_(count > kInlineSlots ? heap_.get() : inline_) {
    for (jsize i = 0; i < allocated(); ++i) VariantInit(&slots_[i]);
  }
  ~ArgumentBlock() { clear(); }
  ArgumentBlock(const ArgumentBlock&) = delete;
  ArgumentBlock& operator=(const ArgumentBlock&) = delete;

  bool ok() const { return slots_ != nullptr; }
  VARIANT* slot_for(jsize java_index) { return &slots_[count_ - 1 - java_index]; }
  DISPPARAMS params() {
    DISPPARAMS p{};
    p.rgvarg = count_ > 0 ? slots_ : nullptr;
    p.cArgs = static_cast<UINT>(count_);
    return p;
  }
  // Idempotent: a cleared slot is VT_EMPTY or a borrowed interface. False
  // when a release inside (of an interface an array argument holds) faulted;
  // the other slots are cleared all the same.
  bool clear() {
    bool faulted = false;
    for (jsize i = 0; i < allocated(); ++i) ov_clear_variant(&slots_[i], false, &faulted);
    return !faulted;
  }

 private:
  static constexpr jsize kInlineSlots = 8;

  jsize allocated() const { return slots_ != nullptr ? count_ : 0; }

  jsize count_;
  VARIANT inline_[kInlineSlots];
  OvMallocPtr<VARIANT> heap_;
  VARIANT* slots_;
};

constexpr jsize kKeptArgumentReferences = 8;

DISPID dispid_of(jlong dispid) {
  return static_cast<DISPID>(static_cast<std::int32_t>(dispid));
}

// What every fault inside the callee's code during a call becomes.
void throw_access_violation(JNIEnv* env) {
  ov_throw_dispatch_exception(env, "Access Violation");
}

jlongArray get_ids_of_names(JNIEnv* env, jlong dispatch, jobjectArray names, jint lcid) {
  if (names == nullptr) {
    ov_throw_java_lang(env, "NullPointerException", "the names array is null");
    return nullptr;
  }
  const jsize count = env->GetArrayLength(names);
  // Zero-terminated copies of the names, alive until the native returns.
  std::vector<std::vector<OLECHAR>> copies(static_cast<std::size_t>(count));
  std::vector<LPOLESTR> pointers(static_cast<std::size_t>(count));
  for (jsize i = 0; i < count; ++i) {
    OvLocalRef<jstring> name(env, static_cast<jstring>(env->GetObjectArrayElement(names, i)));
    if (env->ExceptionCheck()) return nullptr;
    if (!name) {
      char message[64];
      std::snprintf(message, sizeof message, "name %d of the names array is null",
                    static_cast<int>(i));
      ov_throw_java_lang(env, "NullPointerException", message);
      return nullptr;
    }
    OvStringChars chars(env, name.get());
    if (!chars) return nullptr;  // OutOfMemoryError pending
    std::vector<OLECHAR>& copy = copies[static_cast<std::size_t>(i)];
    copy.assign(chars.get(), chars.get() + chars.length());
    copy.push_back(0);
    pointers[static_cast<std::size_t>(i)] = copy.data();
  }
  std::vector<DISPID> ids(static_cast<std::size_t>(count));
  IDispatch* target = ov_from_handle<IDispatch>(dispatch);
  LPOLESTR* name_list = pointers.data();
  DISPID* id_list = ids.data();
  HRESULT hr = E_FAIL;
  if (!ov_av_guarded([&] {
        hr = target->GetIDsOfNames(IID_NULL, name_list, static_cast<UINT>(count),
                                   static_cast<LCID>(lcid), id_list);
      })) {
    throw_access_violation(env);
    return nullptr;
  }
  ov_set_last_result(hr);
  if (FAILED(hr)) return nullptr;                   // the Java side tests for null
  std::vector<jlong> wide(ids.begin(), ids.end());  // sign-extended
  jlongArray result = env->NewLongArray(count);
  if (result != nullptr) env->SetLongArrayRegion(result, 0, count, wide.data());
  return result;
}

}  // namespace

extern "C" JNIEXPORT jlongArray JNICALL
Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1getIDsOfNames(JNIEnv* env, jobject,
                                                                  jlong dispatch,
                                                                  jobjectArray names, jint lcid) {
  return ov_jni_entry(env, ov_calls_com_on(dispatch, kOvZeroIDispatch),
                      [&] { return get_ids_of_names(env, dispatch, names, lcid); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1getIDsOfNames, 24);

namespace {

jobject invoke(JNIEnv* env, jobject receiver, jlong dispatch, jlong dispid, jint lcid, jint flags,
               jobjectArray args) {
  IDispatch* target = ov_from_handle<IDispatch>(dispatch);
  const jsize count = args != nullptr ? env->GetArrayLength(args) : 0;
  ArgumentBlock block(count);
  if (!block.ok()) {
    ov_throw_java_lang(env, "OutOfMemoryError", "no memory for the call's arguments");
    return nullptr;
  }
  // The references of a few arguments stay until the native returns (well
  // inside the 16 local references the VM guarantees); more are deleted one
  // by one.
  const bool keep_references = count <= kKeptArgumentReferences;
  for (jsize i = 0; i < count; ++i) {
    // Inside the bounds the read cannot throw.
    jobject arg = env->GetObjectArrayElement(args, i);
    // A null argument becomes VT_EMPTY.
    const int converted = ov_java_to_variant(env, arg, block.slot_for(i));
    if (!keep_references && arg != nullptr) env->DeleteLocalRef(arg);
    if (!converted) return nullptr;
  }
  DISPPARAMS params = block.params();
  VARIANT result;
  VariantInit(&result);
  ExceptionRecord info;
  UINT bad_argument = static_cast<UINT>(-1);
  HRESULT hr = E_FAIL;
  const bool returned = ov_av_guarded([&] {
    hr = target->Invoke(dispid_of(dispid), IID_NULL, static_cast<LCID>(lcid),
                        static_cast<WORD>(flags), &params, &result, info.get(), &bad_argument);
  });
  // Releasing what the arguments hold runs foreign code too (the interfaces
  // inside array arguments); any fault in the call's foreign code is the
  // call's failure.
  const bool arguments_cleared = block.clear();
  if (env->ExceptionCheck()) {
    // Java code ran during the call (an event handler that threw): its
    // exception is the call's outcome, and the result is not converted.
    ov_clear_variant(&result, true);
    return nullptr;
  }
  if (!returned || !info.complete(hr) || !arguments_cleared) {
    ov_clear_variant(&result, true);
    throw_access_violation(env);
    return nullptr;
  }
  if (!ov_check_hresult(env, hr, info.get())) {
    ov_clear_variant(&result, true);
    return nullptr;
  }
  jobject value = ov_variant_to_java(env, receiver, &result);
  // An interface result now belongs to its wrapper, unless making the
  // wrapper failed: then nobody took the reference over. A conversion gives
  // a value only when it succeeded, and an empty result converts to null
  // without fail; only the other nulls need asking.
  const bool converted = value != nullptr || result.vt == VT_EMPTY || result.vt == VT_NULL ||
                         env->ExceptionCheck() == JNI_FALSE;
  bool faulted = false;
  ov_clear_variant(&result, !converted, &faulted);
  if (converted && faulted) {
    // The result's own references faulted on release: the call fails, and
    // the wrappers already made give theirs back.
    throw_access_violation(env);
    OvPendingException held(env);
    ov_release_iresources(env, value);
    return nullptr;
  }
  return value;
}

}  // namespace

extern "C" JNIEXPORT jobject JNICALL Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1invoke(
    JNIEnv* env, jobject receiver, jlong dispatch, jlong dispid, jint lcid, jint flags,
    jobjectArray args) {
  return ov_jni_entry(env, ov_calls_com_on(dispatch, kOvZeroIDispatch),
                      [&] { return invoke(env, receiver, dispatch, dispid, lcid, flags, args); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1invoke, 36);

namespace {

jboolean put(JNIEnv* env, jlong dispatch, jlong dispid, jint lcid, jobject value) {
  ArgumentBlock block(1);
  if (!block.ok()) {
    ov_throw_java_lang(env, "OutOfMemoryError", "no memory for the property value");
    return JNI_FALSE;
  }
  VARIANT* argument = block.slot_for(0);
  if (!ov_java_to_variant(env, value, argument)) return JNI_FALSE;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = block.params();
  params.rgdispidNamedArgs = &named;
  params.cNamedArgs = 1;
  // A Ref cell is put by reference; everything else, interface wrappers
  // included, by value.
  const WORD put_flags =
      (argument->vt & VT_BYREF) != 0 ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  ExceptionRecord info;
  UINT bad_argument = static_cast<UINT>(-1);
  IDispatch* target = ov_from_handle<IDispatch>(dispatch);
  HRESULT hr = E_FAIL;
  const bool returned = ov_av_guarded([&] {
    hr = target->Invoke(dispid_of(dispid), IID_NULL, static_cast<LCID>(lcid), put_flags, &params,
                        nullptr, info.get(), &bad_argument);
  });
  const bool argument_cleared = block.clear();
  if (env->ExceptionCheck()) return JNI_FALSE;  // an event handler's exception
  if (!returned || !info.complete(hr) || !argument_cleared) {
    throw_access_violation(env);
    return JNI_FALSE;
  }
  return ov_check_hresult(env, hr, info.get()) ? JNI_TRUE : JNI_FALSE;
}

}  // namespace

extern "C" JNIEXPORT jboolean JNICALL Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1put(
    JNIEnv* env, jobject, jlong dispatch, jlong dispid, jint lcid, jobject value) {
  return ov_jni_entry(env, ov_calls_com_on(dispatch, kOvZeroIDispatch),
                      [&] { return put(env, dispatch, dispid, lcid, value); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1put, 32);

namespace {

// The library's own: an indexed property put, Item(index...) = value. The
// Java order is index 0 .. n-1 and then the value, so the value lands in
// rgvarg[0], the slot the named DISPID_PROPERTYPUT argument names.
jboolean put_indexed(JNIEnv* env, jlong dispatch, jlong dispid, jint lcid, jobjectArray indexes,
                     jobject value) {
  const jsize index_count = indexes != nullptr ? env->GetArrayLength(indexes) : 0;
  ArgumentBlock block(index_count + 1);
  if (!block.ok()) {
    ov_throw_java_lang(env, "OutOfMemoryError", "no memory for the property put's arguments");
    return JNI_FALSE;
  }
  for (jsize i = 0; i < index_count; ++i) {
    OvLocalRef<jobject> index(env, env->GetObjectArrayElement(indexes, i));
    if (env->ExceptionCheck()) return JNI_FALSE;
    if (!ov_java_to_variant(env, index.get(), block.slot_for(i))) return JNI_FALSE;
  }
  VARIANT* argument = block.slot_for(index_count);
  if (!ov_java_to_variant(env, value, argument)) return JNI_FALSE;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = block.params();
  params.rgdispidNamedArgs = &named;
  params.cNamedArgs = 1;
  // As for a plain put: a Ref cell by reference, everything else by value.
  const WORD put_flags =
      (argument->vt & VT_BYREF) != 0 ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  ExceptionRecord info;
  UINT bad_argument = static_cast<UINT>(-1);
  IDispatch* target = ov_from_handle<IDispatch>(dispatch);
  HRESULT hr = E_FAIL;
  const bool returned = ov_av_guarded([&] {
    hr = target->Invoke(dispid_of(dispid), IID_NULL, static_cast<LCID>(lcid), put_flags, &params,
                        nullptr, info.get(), &bad_argument);
  });
  const bool arguments_cleared = block.clear();
  if (!returned || !info.complete(hr) || !arguments_cleared) {
    throw_access_violation(env);
    return JNI_FALSE;
  }
  return ov_check_hresult(env, hr, info.get()) ? JNI_TRUE : JNI_FALSE;
}

}  // namespace

extern "C" JNIEXPORT jboolean JNICALL
Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1putIndexed(JNIEnv* env, jobject, jlong dispatch,
                                                               jlong dispid, jint lcid,
                                                               jobjectArray indexes,
                                                               jobject value) {
  return ov_jni_entry(env, ov_calls_com_on(dispatch, kOvZeroIDispatch),
                      [&] { return put_indexed(env, dispatch, dispid, lcid, indexes, value); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1putIndexed, 36);
