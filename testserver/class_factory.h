// The class object registered for each creatable sample class.
#pragma once

#include <atomic>

#include "platform/com_platform.h"
#include "testserver/sample_object.h"

// COM interfaces have no virtual destructor: the object is destroyed by its
// own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ClassFactory final : public IClassFactory, private SampleObject {
 public:
  using Creator = HRESULT (*)(REFIID riid, void** out);

  // Owned by the registration: not in the live-object count. Starts with one
  // reference, the registration's.
  explicit ClassFactory(Creator creator);

  // Instances this class object has created.
  long created() const { return created_.load(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  const Creator creator_;
  std::atomic<long> created_{0};
};
#pragma GCC diagnostic pop
