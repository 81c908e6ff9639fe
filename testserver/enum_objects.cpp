// The enumerator and container sample classes. The enumerator's elements
// are counted objects it owns one reference to each; a clone shares them (one
// more reference each) and starts at the original's position.
#include "testserver/enum_objects.h"

#include <array>
#include <atomic>
#include <new>

#include "testserver/sample_object.h"
#include "testserver/sample_server.h"
#include "testserver/simple_object.h"

namespace {

constexpr ULONG kElements = sample_enum_objects::kElementCount;

std::atomic<DWORD> g_last_flags{0};
std::atomic<LONG> g_last_lock{-1};
std::atomic<LONG> g_lock_count{0};

using Elements = std::array<IDispatch*, kElements>;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ObjectEnumerator final : public IEnumUnknown, private SampleObject {
 public:
  // A new set of elements.
  explicit ObjectEnumerator(Accounting accounting) : SampleObject(accounting) {
    for (IDispatch*& element : elements_) {
      auto* object = new SimpleObject(SimpleKind::kCounter, Accounting::kCounted);
      object->AddRef();
      element = object;
    }
  }
  // The elements of another enumerator, from its position.
  ObjectEnumerator(const Elements& elements, ULONG position, Accounting accounting)
      : SampleObject(accounting), elements_(elements), position_(position) {
    for (IDispatch* element : elements_) element->AddRef();
  }
  ~ObjectEnumerator() override {
    for (IDispatch* element : elements_) element->Release();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumUnknown)) {
      *out = static_cast<IEnumUnknown*>(this);
      add_ref();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, IUnknown** rgelt, ULONG* fetched) override {
    if (rgelt == nullptr || (celt > 1 && fetched == nullptr)) return E_POINTER;
    ULONG count = 0;
    while (count < celt && position_ < kElements) {
      IDispatch* element = elements_[position_++];
      element->AddRef();
      rgelt[count++] = element;
    }
    if (fetched != nullptr) *fetched = count;
    return count == celt ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    const ULONG left = kElements - position_;
    position_ += celt < left ? celt : left;
    return celt <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumUnknown** out) override {
    if (out == nullptr) return E_POINTER;
    auto* copy = new ObjectEnumerator(elements_, position_, Accounting::kCounted);
    copy->AddRef();
    *out = copy;
    return S_OK;
  }

 private:
  Elements elements_{};
  ULONG position_ = 0;
};

// Stores min(celt, kElements) new objects but reports celt + 1 fetched.
class HostileEnumerator final : public IEnumUnknown, private SampleObject {
 public:
  explicit HostileEnumerator(Accounting accounting) : SampleObject(accounting) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumUnknown)) {
      *out = static_cast<IEnumUnknown*>(this);
      add_ref();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  HRESULT STDMETHODCALLTYPE Next(ULONG celt, IUnknown** rgelt, ULONG* fetched) override {
    if (rgelt == nullptr || fetched == nullptr) return E_POINTER;
    for (ULONG i = 0; i < celt && i < kElements; ++i) {
      auto* object = new SimpleObject(SimpleKind::kCounter, Accounting::kCounted);
      object->AddRef();
      rgelt[i] = static_cast<IDispatch*>(object);
    }
    *fetched = celt + 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumUnknown** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
};

class Container final : public IOleContainer, private SampleObject {
 public:
  Container(bool empty, Accounting accounting) : SampleObject(accounting), empty_(empty) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IParseDisplayName) ||
        IsEqualIID(riid, IID_IOleContainer)) {
      *out = static_cast<IOleContainer*>(this);
      add_ref();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
  ULONG STDMETHODCALLTYPE Release() override { return release(); }

  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR, ULONG* eaten,
                                             IMoniker** out) override {
    if (eaten != nullptr) *eaten = 0;
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(DWORD flags, IEnumUnknown** out) override {
    g_last_flags = flags;
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (empty_) return S_FALSE;
    auto* enumerator = new ObjectEnumerator(Accounting::kCounted);
    enumerator->AddRef();
    *out = enumerator;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE LockContainer(BOOL lock) override {
    g_last_lock = static_cast<LONG>(lock);
    if (lock != FALSE) {
      ++g_lock_count;
    } else {
      --g_lock_count;
    }
    return S_OK;
  }

 private:
  const bool empty_;
};
#pragma GCC diagnostic pop

}  // namespace

namespace sample_enum {

HRESULT create_enumerator(REFIID riid, void** out) {
  return create_sample_object<ObjectEnumerator>(riid, out);
}
HRESULT create_container(REFIID riid, void** out) {
  return create_sample_object<Container>(riid, out, false);
}
HRESULT create_empty_container(REFIID riid, void** out) {
  return create_sample_object<Container>(riid, out, true);
}
HRESULT create_hostile_enumerator(REFIID riid, void** out) {
  return create_sample_object<HostileEnumerator>(riid, out);
}

DWORD last_flags() {
  return g_last_flags.load();
}
LONG last_lock() {
  return g_last_lock.load();
}
LONG lock_count() {
  return g_lock_count.load();
}

}  // namespace sample_enum

DWORD sample_server_last_enum_flags() {
  return sample_enum::last_flags();
}
LONG sample_server_last_lock_argument() {
  return sample_enum::last_lock();
}
LONG sample_server_lock_count() {
  return sample_enum::lock_count();
}
