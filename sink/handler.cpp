#include "sink/handler.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "marshal/java_to_variant.h"
#include "marshal/variant_to_java.h"
#include "runtime/class_cache.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/foreign_calls.h"
#include "runtime/jni_refs.h"
#include "runtime/wrappers.h"

std::atomic<jmethodID> ov_default_handler_method{nullptr};
std::atomic<jmethodID> ov_get_ids_of_names_method{nullptr};

namespace {

std::atomic<long> live_handlers{0};

// Global references left by Handlers destroyed without a JNI environment.
std::mutex orphans_lock;
std::vector<jobject>& orphans() {
  static std::vector<jobject> refs;
  return refs;
}

bool same_iid(REFIID a, const IID& b) {
  return std::memcmp(&a, &b, sizeof(IID)) == 0;
}

bool is_unset(const IID& iid) {
  static const IID kUnset{};
  return same_iid(iid, kUnset);
}

// The environment for a call from a source, or null when this thread has
// none (a thread the VM does not know, or no filled cache yet).
JNIEnv* callback_env() {
  if (!ov_cache_ready()) return nullptr;
  return ov_get_env();
}

// Local references an event needs beyond its arguments: the array, the
// result, a wrapper or two made on the way.
constexpr jint kFrameSlack = 8;

void fill_unknown(DISPID* ids, UINT count) {
  if (ids == nullptr) return;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
}

bool is_interface(const VARIANT& v) {
  return (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal != nullptr;
}

}  // namespace

Handler::Handler() {
  live_handlers.fetch_add(1);
}

Handler::~Handler() {
  if (handlerObject != nullptr) {
    JNIEnv* env = ov_get_env();
    if (env != nullptr) {
      env->DeleteGlobalRef(handlerObject);
    } else {
      std::lock_guard<std::mutex> hold(orphans_lock);
      orphans().push_back(handlerObject);
    }
    handlerObject = nullptr;
  }
  live_handlers.fetch_sub(1);
}

long Handler::live() {
  return live_handlers.load();
}

HRESULT Handler::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (same_iid(riid, IID_IUnknown) || same_iid(riid, IID_IDispatch) ||
      (!is_unset(eventIid) && same_iid(riid, eventIid))) {
    AddRef();
    *ppvObject = static_cast<IDispatch*>(this);
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG Handler::AddRef() {
  return static_cast<ULONG>(refCount.fetch_add(1) + 1);
}

ULONG Handler::Release() {
  const std::int32_t before = refCount.fetch_sub(1);
  if (before < 0) delete this;
  return static_cast<ULONG>(before);
}

HRESULT Handler::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT Handler::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}

HRESULT Handler::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  return ov_com_entry([&] { return get_ids_of_names(rgszNames, cNames, rgDispId); });
}

HRESULT Handler::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO*, UINT* puArgErr) {
  return ov_com_entry(
      [&] { return invoke(dispIdMember, wFlags, pDispParams, pVarResult, puArgErr); });
}

HRESULT Handler::get_ids_of_names(LPOLESTR* names, UINT count, DISPID* ids) {
  if (ids == nullptr || (names == nullptr && count > 0)) return E_POINTER;
  JNIEnv* env = callback_env();
  if (env == nullptr) {
    fill_unknown(ids, count);
    return RPC_E_WRONG_THREAD;
  }
  if (env->ExceptionCheck() || handlerObject == nullptr) {
    fill_unknown(ids, count);
    return E_UNEXPECTED;
  }
  OvLocalFrame frame(env, kFrameSlack);
  if (!frame.ok()) {
    fill_unknown(ids, count);
    return E_OUTOFMEMORY;
  }
  const jsize length = static_cast<jsize>(count);
  jobjectArray array = env->NewObjectArray(length, ov_cache.string, nullptr);
  if (array == nullptr) {
    fill_unknown(ids, count);
    return E_OUTOFMEMORY;
  }
  for (jsize i = 0; i < length; ++i) {
    const OLECHAR* name = names[i];
    if (name == nullptr) continue;  // stays null in the array
    jsize units = 0;
    while (name[units] != 0) ++units;
    OvLocalRef<jstring> text(env, env->NewString(reinterpret_cast<const jchar*>(name), units));
    if (!text) {
      fill_unknown(ids, count);
      return E_OUTOFMEMORY;
    }
    env->SetObjectArrayElement(array, i, text.get());
  }
  auto answer = static_cast<jintArray>(
      env->CallObjectMethod(handlerObject, ov_get_ids_of_names_method.load(), array));
  if (env->ExceptionCheck() || answer == nullptr) {
    // The handler's exception (if any) stays pending for the Java caller.
    fill_unknown(ids, count);
    return DISP_E_UNKNOWNNAME;
  }
  if (env->GetArrayLength(answer) != length) return S_FALSE;
  static_assert(sizeof(DISPID) == sizeof(jint), "DISPIDs are 32-bit ints");
  env->GetIntArrayRegion(answer, 0, length, reinterpret_cast<jint*>(ids));
  return S_OK;
}

HRESULT Handler::invoke(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result,
                        UINT* arg_err) {
  if ((flags & DISPATCH_METHOD) == 0) return S_FALSE;
  const UINT count = params != nullptr ? params->cArgs : 0;
  if (count > 0 && params->rgvarg == nullptr) return E_POINTER;
  JNIEnv* env = callback_env();
  if (env == nullptr) return RPC_E_WRONG_THREAD;
  if (env->ExceptionCheck() || handlerObject == nullptr) return E_UNEXPECTED;
  OvLocalFrame frame(env, static_cast<jint>(count) + kFrameSlack);
  if (!frame.ok()) return E_OUTOFMEMORY;
  jobjectArray args = env->NewObjectArray(static_cast<jsize>(count), ov_cache.object, nullptr);
  if (args == nullptr) return E_OUTOFMEMORY;
  for (UINT i = 0; i < count; ++i) {
    // The last DISPPARAMS slot holds the first argument.
    const UINT slot = count - 1 - i;
    const VARIANT& arg = params->rgvarg[slot];
    // The wrapper for an interface argument owns a reference of its own: the
    // caller's reference stays the caller's.
    const bool owns_reference = is_interface(arg);
    if (owns_reference && !ov_guarded_add_ref(arg.punkVal)) {
      if (arg_err != nullptr) *arg_err = slot;
      OvPendingException held(env);
      ov_release_iresources(env, args);
      return DISP_E_TYPEMISMATCH;
    }
    OvLocalRef<jobject> value(env, ov_variant_to_java(env, handlerObject, &arg));
    if (env->ExceptionCheck()) {
      // The conversion's exception is what Java sees; the handler is not
      // called, and the wrappers already made give their references back.
      if (owns_reference && !value) ov_guarded_release(arg.punkVal);
      if (arg_err != nullptr) *arg_err = slot;
      OvPendingException held(env);
      ov_release_iresources(env, value.get());
      ov_release_iresources(env, args);
      return DISP_E_TYPEMISMATCH;
    }
    env->SetObjectArrayElement(args, static_cast<jsize>(i), value.get());
  }
  jobject answer = env->CallObjectMethod(handlerObject, ov_default_handler_method.load(),
                                         static_cast<jint>(member), args);
  if (env->ExceptionCheck()) {
    // The handler threw: the exception stays pending and surfaces in the Java
    // code that made the call that fired the event.
    if (result != nullptr) VariantInit(result);
    return S_OK;
  }
  if (result == nullptr) return S_OK;  // the caller wants no result
  VARIANT converted;
  VariantInit(&converted);
  if (!ov_java_to_variant(env, answer, &converted)) return E_FAIL;
  // The caller clears the result: an interface in it needs a reference of
  // its own, the Java wrapper keeps its own.
  if (is_interface(converted) && !ov_guarded_add_ref(converted.punkVal)) {
    ov_clear_variant(&converted, false);
    return E_FAIL;
  }
  *result = converted;
  return S_OK;
}

void Handler::setObject(JNIEnv* env, jobject object) {
  jobject fresh = env->NewGlobalRef(object);
  if (handlerObject != nullptr) env->DeleteGlobalRef(handlerObject);
  handlerObject = fresh;
}

void Handler::advise(JNIEnv* env, IConnectionPoint* point, REFIID iid) {
  eventIid = iid;
  HRESULT hr = E_FAIL;
  DWORD* cookie_slot = &cookie;
  IUnknown* sink = static_cast<IDispatch*>(this);
  const bool returned = ov_av_guarded([&] { hr = point->Advise(sink, cookie_slot); });
  if (returned && SUCCEEDED(hr)) {
    connectionPoint = point;
    return;
  }
  if (!returned) {
    ov_throw_dispatch_exception(env, "Access Violation");
  } else if (hr == E_UNEXPECTED) {
    ov_throw_dispatch_exception(env, "Unexpected (E_UNEXPECTED) to call Advise");
  } else if (hr == CONNECT_E_ADVISELIMIT) {
    ov_throw_dispatch_exception(env, "Exceeded the limit of Advise (CONNECT_E_ADVISELIMIT)");
  } else if (hr == CONNECT_E_CANNOTCONNECT) {
    ov_throw_dispatch_exception(
        env, "The sink does not support the interface (CONNECT_E_CANNOTCONNECT)");
  } else {
    ov_throw_dispatch_exception(env, "Advise failed: 0x%x", static_cast<unsigned>(hr));
  }
  ov_guarded_release(point);
}

void Handler::unadvise() {
  IConnectionPoint* point = connectionPoint;
  if (point == nullptr) return;
  connectionPoint = nullptr;
  const DWORD connection = cookie;
  ov_av_guarded([&] { point->Unadvise(connection); });
  ov_guarded_release(point);
}

void ov_delete_orphaned_handler_refs(JNIEnv* env) {
  std::vector<jobject> refs;
  {
    std::lock_guard<std::mutex> hold(orphans_lock);
    if (orphans().empty()) return;
    refs.swap(orphans());
  }
  for (jobject ref : refs) env->DeleteGlobalRef(ref);
}

long ov_orphaned_handler_ref_count() {
  std::lock_guard<std::mutex> hold(orphans_lock);
  return static_cast<long>(orphans().size());
}
