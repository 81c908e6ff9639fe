// Small COM objects for the conformance cases: an IUnknown that counts its
// references, a class factory handing out such objects, and an apartment
// scope.
#pragma once

#include <gtest/gtest.h>

#include "platform/com_platform.h"

namespace conformance {

// Windows' interface structs declare no destructor at all, so classes
// implementing them trip -Wnon-virtual-dtor there; these objects are never
// deleted through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// Lives on the stack; never deletes itself, so tests can read its count.
class CountingUnknown final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  ULONG references() const { return references_; }

 private:
  ULONG references_ = 1;
};

class CountingFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ++instances_created_;
    return instance_.QueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  ULONG references() const { return references_; }
  int instances_created() const { return instances_created_; }
  IUnknown* instance() { return &instance_; }

 private:
  ULONG references_ = 1;
  int instances_created_ = 0;
  CountingUnknown instance_;
};

#pragma GCC diagnostic pop

// CoInitializeEx for the scope of a test.
class ApartmentScope {
 public:
  explicit ApartmentScope(DWORD model = COINIT_APARTMENTTHREADED)
      : result_(CoInitializeEx(nullptr, model)) {
    EXPECT_TRUE(SUCCEEDED(result_)) << std::hex << result_;
  }
  ~ApartmentScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ApartmentScope(const ApartmentScope&) = delete;
  ApartmentScope& operator=(const ApartmentScope&) = delete;

 private:
  HRESULT result_;
};

// Registers a class object for the scope of a test.
class ClassRegistration {
 public:
  ClassRegistration(REFCLSID clsid, IUnknown* factory, DWORD context,
                    DWORD flags = REGCLS_MULTIPLEUSE) {
    const HRESULT hr = CoRegisterClassObject(clsid, factory, context, flags, &cookie_);
    EXPECT_EQ(hr, S_OK);
  }
  ~ClassRegistration() {
    if (cookie_ != 0) CoRevokeClassObject(cookie_);
  }
  ClassRegistration(const ClassRegistration&) = delete;
  ClassRegistration& operator=(const ClassRegistration&) = delete;

 private:
  DWORD cookie_ = 0;
};

// A class id registered nowhere on any machine.
inline const CLSID kTestClass = {
    0x1c2b3a4d, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};

}  // namespace conformance
