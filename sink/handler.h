// Handler: the library's own IDispatch, given to an event source's connection
// point. Each Invoke becomes a call of defaultHandler(int, Object[]) on the
// bound Java object, each GetIDsOfNames a call of getIDsOfNames(String[]).
//
// Lifetime: created with refCount 0; the Java side holds the address without
// a counted reference. Release returns the count as it stood before the call
// and destroys the object only when that earlier count was already below
// zero, so the Java side ends its hold with two Releases from 0 (a source that
// still holds references then ends it with its last Release).
//
// Threads: calls arrive on whatever thread the source calls on. A thread
// without a JNI environment (a native thread Java never attached, or any
// thread before the class cache holds the VM) gets RPC_E_WRONG_THREAD and
// Java is not touched. A global reference that the destructor cannot delete
// on such a thread is kept aside and deleted by the next Handler native on a
// Java thread (ov_delete_orphaned_handler_refs).
#pragma once

#include <jni.h>

#include <atomic>
#include <cstdint>

#include "platform/com_platform.h"

// Method identifiers of defaultHandler and getIDsOfNames, set by the first
// successful Handler._createHandler and never changed afterwards.
extern std::atomic<jmethodID> ov_default_handler_method;
extern std::atomic<jmethodID> ov_get_ids_of_names_method;

// COM interfaces have no virtual destructor: the object is destroyed by its
// own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Handler final : public IDispatch {
 public:
  Handler();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                   EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // Binds the Java object: a new global reference replaces (and deletes) the
  // earlier one.
  void setObject(JNIEnv* env, jobject object);
  // Records iid, then Advises the connection point. On success the Handler
  // keeps the connection point's reference (passed in by the caller); on
  // failure a DispatchException is pending and the reference is released.
  void advise(JNIEnv* env, IConnectionPoint* point, REFIID iid);
  // Ends the current connection, if any: Unadvise (result ignored), then the
  // connection point's reference is released.
  void unadvise();

  bool connected() const { return connectionPoint != nullptr; }

  // Handlers alive in the process.
  static long live();

 private:
  ~Handler();

  HRESULT get_ids_of_names(LPOLESTR* names, UINT count, DISPID* ids);
  HRESULT invoke(DISPID member, WORD flags, DISPPARAMS* params, VARIANT* result, UINT* arg_err);

  std::atomic<std::int32_t> refCount{0};
  jobject handlerObject = nullptr;
  IID eventIid{};  // all zero until the first connection attempt: matches nothing
  IConnectionPoint* connectionPoint = nullptr;
  DWORD cookie = 0;
};
#pragma GCC diagnostic pop

// Deletes the global references that Handlers destroyed on threads without a
// JNI environment left behind. Called by the Handler natives.
void ov_delete_orphaned_handler_refs(JNIEnv* env);

// The number of such references waiting.
long ov_orphaned_handler_ref_count();
