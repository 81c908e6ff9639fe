// Calls into a foreign COM object's code, each made under the access-violation
// guard: the object's methods may fault, and a fault becomes a result here
// instead of the end of the process.
//
// Nothing that needs its destructor lives in the guarded frames (the jump
// back abandons them): each guarded region holds the foreign call and plain
// loads and stores around it. The callers keep their owners outside.
#pragma once

#include <cstddef>

#include "platform/av_guard.h"
#include "platform/com_platform.h"

// AddRef, Release and QueryInterface of one object. True when the call
// returned (its result in the out-parameters), false when it faulted (the
// out-parameters hold whatever the call left there).
bool ov_guarded_add_ref(IUnknown* object, ULONG* count = nullptr);
bool ov_guarded_release(IUnknown* object, ULONG* count = nullptr);
bool ov_guarded_query_interface(IUnknown* object, REFIID iid, void** out, HRESULT* hr);

// Releases take(0), take(1), ... take(count - 1): take(i) detaches the
// pointer held by slot i and returns it, or returns null when the slot holds
// none. The releases share one guarded region, entered only when there is
// something to release; after a fault the walk resumes with the next slot, so
// one faulting object does not keep the others alive. True when no release
// faulted.
template <class Take>
bool ov_guarded_release_each(std::size_t count, Take&& take) {
  bool clean = true;
  std::size_t next = 0;
  for (;;) {
    IUnknown* pending = nullptr;
    while (pending == nullptr && next < count) pending = take(next++);
    if (pending == nullptr) return clean;
    // pending and next live in this frame: after a fault they tell where the
    // walk stood.
    const bool returned = ov_av_guarded([&] {
      for (;;) {
        pending->Release();
        pending = nullptr;
        while (pending == nullptr && next < count) pending = take(next++);
        if (pending == nullptr) return;
      }
    });
    if (!returned) clean = false;
  }
}

// AddRefs get(0) ... get(count - 1) (null entries skipped) in one guarded
// region, entered only when there is something to AddRef. Returns count
// when every AddRef returned, otherwise the index of the entry whose AddRef
// faulted: the entries before it hold their new reference, that entry and
// the ones after it do not.
template <class Get>
std::size_t ov_guarded_add_ref_each(std::size_t count, Get&& get) {
  std::size_t next = 0;
  while (next < count && get(next) == nullptr) ++next;
  if (next == count) return count;
  const bool returned = ov_av_guarded([&] {
    for (; next < count; ++next) {
      if (IUnknown* object = get(next)) object->AddRef();
    }
  });
  return returned ? count : next;
}
