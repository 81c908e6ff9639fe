// Releasing what VARIANTs and SAFEARRAYs own with every foreign release under
// the guard: a faulting object does not keep the others alive, nothing is
// released twice, locked arrays are left alone, and a nesting of any depth is
// destroyed without recursion.
#include <pthread.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/variant_clear.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

namespace {

IUnknown* create(const CLSID& clsid) {
  IUnknown* object = nullptr;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  return object;
}

VARIANT holding(IUnknown* object) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_UNKNOWN;
  v.punkVal = object;  // the VARIANT takes the reference over
  return v;
}

// A one-dimensional array of the given elements, moved in (each VARIANT's
// payload, or its pointer for an interface array).
VARIANT array_of(VARTYPE vt, const std::vector<VARIANT>& elements) {
  SAFEARRAY* psa = SafeArrayCreateVector(vt, 0, static_cast<ULONG>(elements.size()));
  void* data = nullptr;
  SafeArrayAccessData(psa, &data);
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (vt == VT_VARIANT) {
      static_cast<VARIANT*>(data)[i] = elements[i];
    } else {
      static_cast<IUnknown**>(data)[i] = elements[i].punkVal;
    }
  }
  SafeArrayUnaccessData(psa);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | vt;
  v.parray = psa;
  return v;
}

class VariantClearTest : public JvmTest {};

TEST_F(VariantClearTest, FaultingReleasesDoNotAbandonTheRest) {
  const CLSID& faulty = CLSID_SampleFaultyRelease;
  const CLSID& counter = CLSID_SampleCounter;
  const struct {
    const char* name;
    std::function<VARIANT()> make;
    bool clean;
  } cases[] = {
      {"interface", [&] { return holding(create(faulty)); }, false},
      {"interface array",
       [&] {
         return array_of(VT_UNKNOWN,
                         {holding(create(faulty)), holding(create(counter)), holding(nullptr),
                          holding(create(faulty)), holding(create(counter))});
       },
       false},
      {"VARIANT array with a nested array",
       [&] {
         VARIANT text;
         VariantInit(&text);
         text.vt = VT_BSTR;
         text.bstrVal = SysAllocString(u"s");
         return array_of(VT_VARIANT,
                         {holding(create(faulty)), text,
                          array_of(VT_VARIANT, {holding(create(counter)), holding(create(faulty))}),
                          holding(create(counter))});
       },
       false},
      {"no faulting object",
       [&] {
         return array_of(VT_VARIANT, {holding(create(counter)),
                                      array_of(VT_UNKNOWN, {holding(create(counter))})});
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v = c.make();
    EXPECT_EQ(ov_variant_clear_guarded(&v), c.clean);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(sample_server_live_objects(), 0) << "every object got its release";
  }
}

TEST_F(VariantClearTest, LockedArraysAndReferencesAreLeftAlone) {
  IUnknown* object = create(CLSID_SampleCounter);
  VARIANT array = array_of(VT_VARIANT, {holding(object)});
  SAFEARRAY* psa = array.parray;
  ASSERT_EQ(SafeArrayLock(psa), S_OK);
  EXPECT_TRUE(ov_variant_clear_guarded(&array));
  EXPECT_EQ(sample_ref_count(object), 1u) << "a locked array keeps what it holds";

  VARIANT by_reference;
  VariantInit(&by_reference);
  by_reference.vt = VT_BYREF | VT_UNKNOWN;
  by_reference.ppunkVal = &object;
  EXPECT_TRUE(ov_variant_clear_guarded(&by_reference));
  EXPECT_EQ(sample_ref_count(object), 1u);

  ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
  EXPECT_TRUE(ov_safearray_destroy_guarded(psa));
  EXPECT_EQ(sample_server_live_objects(), 0);
}

// The destruction of a nesting far deeper than any native stack could carry
// by recursion, on a thread with a small stack.
TEST_F(VariantClearTest, DeepNestingsAreDestroyedWithoutRecursion) {
  constexpr int kDepth = 100000;
  VARIANT v = holding(create(CLSID_SampleCounter));
  for (int i = 0; i < kDepth; ++i) v = array_of(VT_VARIANT, {v});
  struct Work {
    VARIANT* v;
    bool clean = false;
  } work{&v};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(
                &thread, &attributes,
                [](void* p) -> void* {
                  auto* w = static_cast<Work*>(p);
                  w->clean = ov_variant_clear_guarded(w->v);
                  return nullptr;
                },
                &work),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  EXPECT_TRUE(work.clean);
  EXPECT_EQ(sample_server_live_objects(), 0);
}

}  // namespace
