// Sizes and field offsets the bridge relies on, identical to 64-bit Windows.
#include <cstddef>

#include "platform_accounting.h"

namespace conformance {
namespace {

static_assert(sizeof(void*) == 8, "the conformance cases describe the 64-bit layout");

TEST(LayoutTest, AutomationStructuresHaveTheWindowsLayout) {
  struct Case {
    const char* what;
    std::size_t actual;
    std::size_t expected;
  };
  const Case cases[] = {
      {"sizeof(VARIANT)", sizeof(VARIANT), 24},
      {"VARIANT::lVal", offsetof(VARIANT, lVal), 8},
      {"VARIANT::pRecInfo", offsetof(VARIANT, pRecInfo), 16},
      {"VARIANT::decVal.Hi32", offsetof(VARIANT, decVal.Hi32), 4},
      {"VARIANT::decVal.Lo64", offsetof(VARIANT, decVal.Lo64), 8},
      {"sizeof(DECIMAL)", sizeof(DECIMAL), 16},
      {"sizeof(CY)", sizeof(CY), 8},
      {"sizeof(SAFEARRAY)", sizeof(SAFEARRAY), 32},
      {"SAFEARRAY::cLocks", offsetof(SAFEARRAY, cLocks), 8},
      {"SAFEARRAY::pvData", offsetof(SAFEARRAY, pvData), 16},
      {"SAFEARRAY::rgsabound", offsetof(SAFEARRAY, rgsabound), 24},
      {"sizeof(DISPPARAMS)", sizeof(DISPPARAMS), 24},
      {"DISPPARAMS::cArgs", offsetof(DISPPARAMS, cArgs), 16},
      {"sizeof(EXCEPINFO)", sizeof(EXCEPINFO), 64},
      {"EXCEPINFO::dwHelpContext", offsetof(EXCEPINFO, dwHelpContext), 32},
      {"EXCEPINFO::pfnDeferredFillIn", offsetof(EXCEPINFO, pfnDeferredFillIn), 48},
      {"EXCEPINFO::scode", offsetof(EXCEPINFO, scode), 56},
      {"sizeof(GUID)", sizeof(GUID), 16},
      {"sizeof(SYSTEMTIME)", sizeof(SYSTEMTIME), 16},
      {"sizeof(LONG)", sizeof(LONG), 4},
      {"sizeof(HRESULT)", sizeof(HRESULT), 4},
      {"sizeof(OLECHAR)", sizeof(OLECHAR), 2},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
}

}  // namespace
}  // namespace conformance
