// Apartment initialisation counting and what an uninitialised thread may do.
#include <thread>

#include "fake_objects.h"
#include "platform_accounting.h"

namespace conformance {
namespace {

// Runs `body` on a fresh thread, so that the apartment state it sees is its
// own and nothing leaks into other cases.
template <typename Body>
void on_fresh_thread(Body body) {
  std::thread thread(body);
  thread.join();
}

TEST(ApartmentTest, InitialisationsAreCountedPerThread) {
  struct Step {
    DWORD model;
    HRESULT expected;
  };
  struct Case {
    const char* name;
    Step steps[3];
    int counted;  // how many CoUninitialize calls the steps need
  };
  const Case cases[] = {
      {"single-threaded twice",
       {{COINIT_APARTMENTTHREADED, S_OK},
        {COINIT_APARTMENTTHREADED, S_FALSE},
        {COINIT_MULTITHREADED, RPC_E_CHANGED_MODE}},
       2},
      {"multithreaded twice",
       {{COINIT_MULTITHREADED, S_OK},
        {COINIT_MULTITHREADED, S_FALSE},
        {COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE}},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    on_fresh_thread([&c] {
      for (const Step& step : c.steps)
        EXPECT_EQ(CoInitializeEx(nullptr, step.model), step.expected);
      for (int i = 0; i < c.counted; ++i) CoUninitialize();
      // Fully uninitialised: the next call starts afresh, in either model.
      EXPECT_EQ(CoInitializeEx(nullptr, c.steps[2].model), S_OK);
      CoUninitialize();
    });
  }
}

TEST(ApartmentTest, CoInitializeIsSingleThreaded) {
  on_fresh_thread([] {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoUninitialize();
  });
}

TEST(ApartmentTest, UninitialisedThreadsCannotActivate) {
  on_fresh_thread([] {
    LeakCheck leaks;
    CountingFactory factory;
    IUnknown* object = factory.instance();
    void* out = &factory;
    DWORD cookie = 0;
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CoGetClassObject(kTestClass, CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown, &out),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoRegisterClassObject(kTestClass, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                    &cookie),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoGetObject(OLESTR("new:1C2B3A4D-1111-2222-3333-444455556666"), nullptr, IID_IUnknown,
                          &out),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(GetActiveObject(kTestClass, nullptr, &object), CO_E_NOTINITIALIZED);
    EXPECT_EQ(RegisterActiveObject(factory.instance(), kTestClass, ACTIVEOBJECT_STRONG, &cookie),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(factory.references(), 1u);
    CoUninitialize();  // an unmatched call is harmless
  });
}

TEST(ApartmentTest, ThreadsUseTheMultithreadedApartmentImplicitly) {
  ApartmentScope mta(COINIT_MULTITHREADED);
  CountingFactory factory;
  ClassRegistration registration(kTestClass, &factory, CLSCTX_INPROC_SERVER);
  on_fresh_thread([] {
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    if (object != nullptr) object->Release();
  });
  EXPECT_EQ(factory.instances_created(), 1);
}

}  // namespace
}  // namespace conformance
