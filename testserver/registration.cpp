// Registration of the sample classes: the class objects on the calling
// thread, the Running instance in the running object table and the ProgIDs
// of every class in the current user's registry.
#include <array>
#include <mutex>

#include "testserver/automation_object.h"
#include "testserver/bench_object.h"
#include "testserver/event_source.h"
#include "testserver/class_factory.h"
#include "testserver/collection_object.h"
#include "testserver/enum_objects.h"
#include "testserver/faulty_calls.h"
#include "testserver/faulty_release.h"
#include "testserver/progids.h"
#include "testserver/sample_server.h"
#include "testserver/simple_object.h"

extern "C" {
// {5E1A0000-0000-4A11-9000-0000000000NN}
const CLSID CLSID_SampleCounter = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x01}};
const CLSID CLSID_SampleLocalOnly = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x02}};
const CLSID CLSID_SampleRunning = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x03}};
const CLSID CLSID_SampleMoniker = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x04}};
const CLSID CLSID_SampleFaultyRelease = {
    0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x05}};
const CLSID CLSID_SampleAutomation = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x06}};
const CLSID CLSID_SampleBench = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x07}};
const CLSID CLSID_SampleFaultyCalls = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x08}};
const CLSID CLSID_SampleEventSource = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x10}};
const IID IID_SampleEvents = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x11}};
const CLSID CLSID_SampleObjectEnumerator = {
    0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x20}};
const CLSID CLSID_SampleContainer = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x21}};
const CLSID CLSID_SampleEmptyContainer = {
    0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x22}};
const CLSID CLSID_SampleHostileEnumerator = {
    0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x23}};
const CLSID CLSID_SampleCollection = {0x5E1A0000, 0x0000, 0x4A11, {0x90, 0, 0, 0, 0, 0, 0, 0x24}};
}

namespace {

struct ClassEntry {
  const CLSID* clsid;
  ClassFactory::Creator creator;
  DWORD context;
  DWORD flags;
};

// REGCLS_MULTIPLEUSE with CLSCTX_LOCAL_SERVER registers the class for
// CLSCTX_INPROC_SERVER as well; REGCLS_MULTI_SEPARATE keeps LocalOnly out of
// reach of in-process requests.
const ClassEntry kClasses[] = {
    {&CLSID_SampleCounter, SimpleObject::create<SimpleKind::kCounter>, CLSCTX_INPROC_SERVER,
     REGCLS_MULTIPLEUSE},
    {&CLSID_SampleLocalOnly, SimpleObject::create<SimpleKind::kLocalOnly>, CLSCTX_LOCAL_SERVER,
     REGCLS_MULTI_SEPARATE},
    {&CLSID_SampleMoniker, SimpleObject::create<SimpleKind::kMoniker>, CLSCTX_INPROC_SERVER,
     REGCLS_MULTIPLEUSE},
    {&CLSID_SampleFaultyRelease, FaultyRelease::create, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE},
    {&CLSID_SampleAutomation, AutomationObject::create, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE},
    {&CLSID_SampleBench, BenchObject::create, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE},
    {&CLSID_SampleFaultyCalls, FaultyCalls::create, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE},
    {&CLSID_SampleEventSource, EventSource::create, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE},
    {&CLSID_SampleObjectEnumerator, sample_enum::create_enumerator, CLSCTX_INPROC_SERVER,
     REGCLS_MULTIPLEUSE},
    {&CLSID_SampleContainer, sample_enum::create_container, CLSCTX_INPROC_SERVER,
     REGCLS_MULTIPLEUSE},
    {&CLSID_SampleEmptyContainer, sample_enum::create_empty_container, CLSCTX_INPROC_SERVER,
     REGCLS_MULTIPLEUSE},
    {&CLSID_SampleHostileEnumerator, sample_enum::create_hostile_enumerator, CLSCTX_INPROC_SERVER,
     REGCLS_MULTIPLEUSE},
    {&CLSID_SampleCollection, sample_collection_objects::create_collection, CLSCTX_INPROC_SERVER,
     REGCLS_MULTIPLEUSE},
};
constexpr size_t kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);

// Index of the Counter class object, whose created-count is reported.
constexpr size_t kCounterClass = 0;

// What a registration holds; every member is released by revoke().
class Registration {
 public:
  Registration() = default;
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;

  bool active() const { return active_; }

  HRESULT register_all() {
    active_ = true;
    for (size_t i = 0; i < kClassCount; ++i) {
      factories_[i] = new ClassFactory(kClasses[i].creator);
      const HRESULT hr = CoRegisterClassObject(
          *kClasses[i].clsid, factories_[i], kClasses[i].context, kClasses[i].flags, &cookies_[i]);
      if (FAILED(hr)) {
        revoke();
        return hr;
      }
    }
    running_ = new SimpleObject(SimpleKind::kRunning, Accounting::kRegistrationOwned);
    running_->AddRef();
    HRESULT hr =
        RegisterActiveObject(running_, CLSID_SampleRunning, ACTIVEOBJECT_STRONG, &running_cookie_);
    if (FAILED(hr)) {
      revoke();
      return hr;
    }
    hr = register_sample_progids();
    if (FAILED(hr)) {
      revoke();
      return hr;
    }
    progids_ = true;
    return S_OK;
  }

  void revoke() {
    if (progids_) remove_sample_progids();
    progids_ = false;
    if (running_cookie_ != 0) RevokeActiveObject(running_cookie_, nullptr);
    running_cookie_ = 0;
    if (running_ != nullptr) running_->Release();
    running_ = nullptr;
    for (size_t i = 0; i < kClassCount; ++i) {
      if (cookies_[i] != 0) CoRevokeClassObject(cookies_[i]);
      cookies_[i] = 0;
      if (factories_[i] != nullptr) {
        retired_counter_created_ += i == kCounterClass ? factories_[i]->created() : 0;
        factories_[i]->Release();
      }
      factories_[i] = nullptr;
    }
    active_ = false;
  }

  long counter_created() const {
    const ClassFactory* counter = factories_[kCounterClass];
    return retired_counter_created_ + (counter != nullptr ? counter->created() : 0);
  }

 private:
  bool active_ = false;
  std::array<ClassFactory*, kClassCount> factories_{};
  std::array<DWORD, kClassCount> cookies_{};
  SimpleObject* running_ = nullptr;
  DWORD running_cookie_ = 0;
  bool progids_ = false;
  long retired_counter_created_ = 0;
};

std::mutex g_mutex;

// Never destroyed: at process exit the COM runtime may be gone already, so
// only an explicit sample_server_revoke releases what a registration holds.
Registration& registration() {
  static Registration* instance = new Registration();
  return *instance;
}

}  // namespace

HRESULT sample_server_register() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (registration().active()) return S_FALSE;
  return registration().register_all();
}

void sample_server_revoke() {
  std::lock_guard<std::mutex> lock(g_mutex);
  registration().revoke();
}

long sample_server_live_objects() {
  return live_object_count();
}

long sample_server_counter_created() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return registration().counter_created();
}

ULONG sample_ref_count(IUnknown* object) {
  if (object == nullptr) return 0;
  object->AddRef();
  return object->Release();
}

void sample_server_set_faulty_release_armed(bool armed) {
  set_faulty_release_armed(armed);
}
