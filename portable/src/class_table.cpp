// CoRegisterClassObject/CoRevokeClassObject and the activation functions
// that look the table up: CoGetClassObject and CoCreateInstance.
#include "class_table.h"

#include "apartment.h"
#include "oleport_testing.h"
#include "registration_table.h"
#include "url_history.h"

namespace {

oleport::RegistrationTable& table() {
  static oleport::RegistrationTable instance;
  return instance;
}

}  // namespace

namespace oleport {

void revoke_class_objects_of(DWORD thread) {
  release_all(table().remove_registered_by(thread));
}

}  // namespace oleport

HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext,
                                     DWORD flags, LPDWORD lpdwRegister) {
  if (pUnk == nullptr || lpdwRegister == nullptr) return E_INVALIDARG;
  *lpdwRegister = 0;
  if (!oleport::current_thread_in_apartment()) return CO_E_NOTINITIALIZED;
  DWORD contexts = dwClsContext;
  // A multiple-use local server serves its own process too; REGCLS_MULTI_SEPARATE
  // (and single use) keep in-process requests away from it.
  if ((flags & REGCLS_MULTIPLEUSE) != 0 && (dwClsContext & CLSCTX_LOCAL_SERVER) != 0) {
    contexts |= CLSCTX_INPROC_SERVER;
  }
  bool already = false;
  *lpdwRegister = table().add(rclsid, pUnk, contexts, GetCurrentThreadId(), already);
  return S_OK;
}

HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister) {
  IUnknown* object = table().remove(dwRegister);
  if (object == nullptr) return E_INVALIDARG;
  object->Release();
  return S_OK;
}

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, COSERVERINFO* /*info*/,
                                REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_INVALIDARG;
  *ppv = nullptr;
  if (!oleport::current_thread_in_apartment()) return CO_E_NOTINITIALIZED;
  IUnknown* object = table().find(rclsid, dwClsContext);
  // Registrations come first, as a registered class object overrides the
  // registry on Windows.
  if (object == nullptr) return oleport::get_builtin_class_object(rclsid, dwClsContext, riid, ppv);
  const HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

long oleport_registered_class_count(void) {
  return table().size();
}
