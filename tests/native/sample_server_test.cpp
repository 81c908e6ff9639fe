// The sample server's own behaviours that the other tests rely on, called
// directly (no bridge in between).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "testserver/sample_server.h"
#include "testserver/variant_values.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

namespace sa = sample_automation;

namespace {

// The ends of the platform's 32-bit LONG and ULONG.
constexpr LONGLONG kLongMax = 0x7FFFFFFF;
constexpr LONGLONG kLongMin = -kLongMax - 1;
constexpr LONGLONG kUlongMax = 0xFFFFFFFF;

class SampleServerTest : public JvmTest {};

TEST_F(SampleServerTest, AByValueCopyOfANullByReferenceStringIsANullString) {
  BSTR none = nullptr;
  VARIANT by_ref;
  VariantInit(&by_ref);
  by_ref.vt = VT_BYREF | VT_BSTR;
  by_ref.pbstrVal = &none;
  VARIANT copy;
  std::memset(&copy, 0xA5, sizeof copy);  // what a caller's stack may hold
  ASSERT_EQ(copy_by_value(&copy, by_ref), S_OK);
  EXPECT_EQ(copy.vt, VT_BSTR);
  const bool null = copy.bstrVal == nullptr;
  EXPECT_TRUE(null) << "the copy's BSTR is whatever the VARIANT held before";
  if (null) VariantClear(&copy);
}

TEST_F(SampleServerTest, MakeArrayTakesBoundsUpToTheEndsOfALong) {
  const struct {
    LONGLONG lb;
    LONGLONG n;
    HRESULT hr;
  } cases[] = {
      {kLongMax, 1, S_OK},
      {kLongMax - 2, 3, S_OK},
      {kLongMin, 3, S_OK},
      {kLongMax, 0, S_OK},
      {kLongMax, 2, E_INVALIDARG},      // index kLongMax + 1
      {kLongMax - 1, 3, E_INVALIDARG},  // index kLongMax + 1
      {kLongMax + 1, 1, E_INVALIDARG},  // no LONG
      {kLongMin - 1, 1, E_INVALIDARG},
      {0, kUlongMax + 1, E_INVALIDARG},  // no ULONG
  };
  IDispatch* automation = new_automation();
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "lb " << c.lb << " n " << c.n);
    // MakeArray(VT_I4, lb, n): the last argument comes first.
    VARIANT args[3];
    for (VARIANT& a : args) VariantInit(&a);
    args[0].vt = VT_I8;
    args[0].llVal = c.n;
    args[1].vt = VT_I8;
    args[1].llVal = c.lb;
    args[2].vt = VT_I4;
    args[2].lVal = VT_I4;
    DISPPARAMS params{args, nullptr, 3, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(automation->Invoke(sa::kMakeArray, IID_NULL, 0, DISPATCH_METHOD, &params, &result,
                                 nullptr, nullptr),
              c.hr);
    if (FAILED(c.hr)) continue;
    ASSERT_EQ(result.vt, VT_ARRAY | VT_I4);
    LONG lb = 0;
    EXPECT_EQ(SafeArrayGetLBound(result.parray, 1, &lb), S_OK);
    EXPECT_EQ(lb, c.lb);
    // Element k holds k + 1.
    for (LONGLONG k = 0; k < c.n; ++k) {
      LONG index = static_cast<LONG>(c.lb + k);
      LONG value = 0;
      EXPECT_EQ(SafeArrayGetElement(result.parray, &index, &value), S_OK);
      EXPECT_EQ(value, k + 1);
    }
    VariantClear(&result);
  }
  // Element counts whose product is no LONG.
  VARIANT args[5];
  for (VARIANT& a : args) VariantInit(&a);
  args[0].vt = args[2].vt = VT_I4;
  args[0].lVal = args[2].lVal = 0x10000;  // n2, n1
  args[1].vt = args[3].vt = VT_I4;
  args[1].lVal = args[3].lVal = 0;  // lb2, lb1
  args[4].vt = VT_I4;
  args[4].lVal = VT_I4;
  DISPPARAMS params{args, nullptr, 5, 0};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(automation->Invoke(sa::kMakeArray, IID_NULL, 0, DISPATCH_METHOD, &params, &result,
                               nullptr, nullptr),
            E_INVALIDARG);
  automation->Release();
}

}  // namespace
