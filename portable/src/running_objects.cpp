// RegisterActiveObject/RevokeActiveObject/GetActiveObject over a
// process-wide table keyed by CLSID.
#include "running_objects.h"

#include "apartment.h"
#include "oleport_testing.h"
#include "registration_table.h"

namespace {

// Running objects match any lookup: they are filed under every context bit.
constexpr DWORD kAnyContext = ~DWORD{0};

oleport::RegistrationTable& table() {
  static oleport::RegistrationTable instance;
  return instance;
}

}  // namespace

namespace oleport {

void revoke_running_objects_of(DWORD thread) {
  release_all(table().remove_registered_by(thread));
}

}  // namespace oleport

HRESULT WINAPI RegisterActiveObject(IUnknown* punk, REFCLSID rclsid, DWORD /*dwFlags*/,
                                    DWORD* pdwRegister) {
  if (punk == nullptr || pdwRegister == nullptr) return E_INVALIDARG;
  *pdwRegister = 0;
  if (!oleport::current_thread_in_apartment()) return CO_E_NOTINITIALIZED;
  bool already = false;
  *pdwRegister = table().add(rclsid, punk, kAnyContext, GetCurrentThreadId(), already);
  return already ? MK_S_MONIKERALREADYREGISTERED : S_OK;
}

HRESULT WINAPI RevokeActiveObject(DWORD dwRegister, void* /*pvReserved*/) {
  IUnknown* object = table().remove(dwRegister);
  if (object == nullptr) return E_INVALIDARG;
  object->Release();
  return S_OK;
}

HRESULT WINAPI GetActiveObject(REFCLSID rclsid, void* /*pvReserved*/, IUnknown** ppunk) {
  if (ppunk == nullptr) return E_INVALIDARG;
  *ppunk = nullptr;
  if (!oleport::current_thread_in_apartment()) return CO_E_NOTINITIALIZED;
  *ppunk = table().find(rclsid, kAnyContext);
  return *ppunk != nullptr ? S_OK : MK_E_UNAVAILABLE;
}

long oleport_running_object_count(void) {
  return table().size();
}
