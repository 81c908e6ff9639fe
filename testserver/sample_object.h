// Reference counting and live-object accounting shared by the sample classes.
#pragma once

#include <atomic>

#include "platform/com_platform.h"

// Whether an object counts in sample_server_live_objects(): objects handed out
// to callers do, objects the registration owns (class objects, the Running
// instance) do not.
enum class Accounting { kCounted, kRegistrationOwned };

long live_object_count();

// Base of every sample class: holds the reference count and the object's
// place in the live-object count. The count starts at 0; the creator takes the
// first reference through QueryInterface (or AddRef).
class SampleObject {
 public:
  SampleObject(const SampleObject&) = delete;
  SampleObject& operator=(const SampleObject&) = delete;

 protected:
  explicit SampleObject(Accounting accounting);
  virtual ~SampleObject();

  ULONG add_ref() { return refs_.fetch_add(1) + 1; }
  // Frees the object when the count reaches 0; returns the new count.
  ULONG release();
  ULONG refs() const { return refs_.load(); }

 private:
  std::atomic<ULONG> refs_{0};
  const Accounting accounting_;
};

// Creates a counted object of type T from args and queries it for riid; the
// object is freed again when the query fails.
template <class T, class... Args>
HRESULT create_sample_object(REFIID riid, void** out, Args... args) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  T* object = new T(args..., Accounting::kCounted);
  HRESULT hr = object->QueryInterface(riid, out);
  if (FAILED(hr)) delete object;
  return hr;
}
