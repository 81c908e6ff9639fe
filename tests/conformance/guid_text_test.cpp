// GUID text: parsing with CLSIDFromString/IIDFromString and formatting.
#include <string>

#include "platform_accounting.h"

namespace conformance {
namespace {

TEST(GuidTextTest, ClsidFromStringNeedsTheBracedForm) {
  struct Case {
    const OLECHAR* text;
    HRESULT clsid_result;
    HRESULT iid_result;
  };
  const Case cases[] = {
      {OLESTR("{00020400-0000-0000-C000-000000000046}"), S_OK, S_OK},
      {OLESTR("{00020400-0000-0000-c000-000000000046}"), S_OK, S_OK},
      {OLESTR("00020400-0000-0000-C000-000000000046"), CO_E_CLASSSTRING, E_INVALIDARG},
      {OLESTR("{00020400-0000-0000-C000-00000000004}"), CO_E_CLASSSTRING, E_INVALIDARG},
      {OLESTR("{00020400-0000-0000-C000-0000000000466}"), CO_E_CLASSSTRING, E_INVALIDARG},
      {OLESTR("{00020400-0000-0000-C000-000000000046"), CO_E_CLASSSTRING, E_INVALIDARG},
      {OLESTR("{00020400-0000-0000-C000-00000000004G}"), CO_E_CLASSSTRING, CO_E_IIDSTRING},
      {OLESTR("{00020400+0000-0000-C000-000000000046}"), CO_E_CLASSSTRING, CO_E_IIDSTRING},
      // No registry entry exists for these, so they fail as unknown ProgIDs.
      {OLESTR("NoSuch.Application"), CO_E_CLASSSTRING, E_INVALIDARG},
      {OLESTR(""), CO_E_CLASSSTRING, E_INVALIDARG},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    CLSID clsid;
    EXPECT_EQ(CLSIDFromString(c.text, &clsid), c.clsid_result);
    if (c.clsid_result == S_OK) {
      EXPECT_TRUE(IsEqualCLSID(clsid, IID_IDispatch));
    }
    IID iid;
    EXPECT_EQ(IIDFromString(c.text, &iid), c.iid_result);
  }
}

TEST(GuidTextTest, NullTextIsGuidNull) {
  CLSID clsid = IID_IDispatch;
  EXPECT_EQ(CLSIDFromString(nullptr, &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, GUID_NULL));
}

TEST(GuidTextTest, StringFromGuid2WritesUpperCaseBracedText) {
  const GUID guid = {0x1c2b3a4d, 0xabcd, 0x0123, {0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10}};
  OLECHAR text[40];
  ASSERT_EQ(StringFromGUID2(guid, text, 40), 39);
  EXPECT_EQ(std::basic_string<OLECHAR>(text),
            std::basic_string<OLECHAR>(OLESTR("{1C2B3A4D-ABCD-0123-FEDC-BA9876543210}")));
  EXPECT_EQ(StringFromGUID2(guid, text, 38), 0) << "too small for the terminator";
  GUID parsed;
  ASSERT_EQ(CLSIDFromString(text, &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, guid));
  EXPECT_TRUE(parsed == guid);
}

}  // namespace
}  // namespace conformance
