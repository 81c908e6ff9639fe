#include "runtime/foreign_calls.h"

bool ov_guarded_add_ref(IUnknown* object, ULONG* count) {
  ULONG result = 0;
  const bool returned = ov_av_guarded([&] { result = object->AddRef(); });
  if (count != nullptr) *count = result;
  return returned;
}

bool ov_guarded_release(IUnknown* object, ULONG* count) {
  ULONG result = 0;
  const bool returned = ov_av_guarded([&] { result = object->Release(); });
  if (count != nullptr) *count = result;
  return returned;
}

bool ov_guarded_query_interface(IUnknown* object, REFIID iid, void** out, HRESULT* hr) {
  HRESULT result = E_UNEXPECTED;
  const bool returned = ov_av_guarded([&] { result = object->QueryInterface(iid, out); });
  *hr = result;
  return returned;
}
