// VARIANT clearing and copying: which types are accepted, what is freed or
// released, and how deep copies go.
#include <cstring>

#include "fake_objects.h"
#include "platform_accounting.h"

namespace conformance {
namespace {

class VariantTest : public LeakCheckedTest {};

TEST_F(VariantTest, ClearAcceptsTheTypesAVariantCanHold) {
  struct Case {
    VARTYPE vt;
    bool valid;
  };
  const Case cases[] = {
      {VT_EMPTY, true},
      {VT_NULL, true},
      {VT_I2, true},
      {VT_I4, true},
      {VT_R8, true},
      {VT_CY, true},
      {VT_DATE, true},
      {VT_BOOL, true},
      {VT_ERROR, true},
      {VT_DECIMAL, true},
      {15, false},
      {VT_I1, true},
      {VT_UI8, true},
      {VT_UINT, true},
      {VT_VOID, false},
      {VT_HRESULT, false},
      {VT_PTR, false},
      {VT_LPWSTR, false},
      {VT_INT_PTR, false},
      {VT_UINT_PTR, false},
      {VT_FILETIME, false},
      {VT_CLSID, true},
      {VT_BSTR_BLOB, false},
      {VT_VECTOR | VT_I4, false},
      {VT_RESERVED | VT_I4, false},
      {VT_BYREF | VT_EMPTY, false},
      {VT_BYREF | VT_NULL, false},
      {VT_ARRAY | VT_EMPTY, false},
      {VT_ARRAY | VT_NULL, false},
      {VT_BYREF | VT_I4, true},
      {VT_BYREF | VT_CLSID, true},
      {VT_ARRAY | VT_BYREF | VT_I4, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "vt=0x" << std::hex << c.vt);
    LONG referent = 42;
    VARIANT v;
    std::memset(&v, 0, sizeof v);
    v.vt = c.vt;
    if ((c.vt & VT_BYREF) != 0) v.plVal = &referent;
    const HRESULT hr = VariantClear(&v);
    if (c.valid) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_EQ(v.vt, VT_EMPTY);
    } else {
      EXPECT_EQ(hr, DISP_E_BADVARTYPE);
      EXPECT_EQ(v.vt, c.vt) << "a refused variant is left untouched";
    }
    EXPECT_EQ(referent, 42);
  }
}

TEST_F(VariantTest, ClearFreesWhatTheVariantOwns) {
  CountingUnknown object;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_UNKNOWN;
  v.punkVal = &object;
  object.AddRef();
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(object.references(), 1u) << "the interface is released";

  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(OLESTR("owned"));
  EXPECT_EQ(VariantClear(&v), S_OK);  // the leak check sees it freed

  SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 2);
  LONG index = 1;
  BSTR element = SysAllocString(OLESTR("element"));
  ASSERT_EQ(SafeArrayPutElement(array, &index, element), S_OK);
  SysFreeString(element);
  v.vt = VT_ARRAY | VT_BSTR;
  v.parray = array;
  EXPECT_EQ(VariantClear(&v), S_OK);  // array and elements destroyed
  EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST_F(VariantTest, ClearLeavesByReferenceReferentsAlone) {
  CountingUnknown object;
  IUnknown* pointer = &object;
  BSTR text = SysAllocString(OLESTR("kept"));
  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 1);
  struct Case {
    VARTYPE vt;
    void* referent;
  };
  const Case cases[] = {
      {VT_BYREF | VT_UNKNOWN, &pointer},
      {VT_BYREF | VT_BSTR, &text},
      {VT_BYREF | VT_ARRAY | VT_I4, &array},
  };
  for (const Case& c : cases) {
    VARIANT v;
    v.vt = c.vt;
    v.byref = c.referent;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
  }
  EXPECT_EQ(object.references(), 1u);
  EXPECT_EQ(SysStringLen(text), 4u);
  EXPECT_EQ(SafeArrayGetDim(array), 1u);
  SysFreeString(text);
  SafeArrayDestroy(array);
}

TEST_F(VariantTest, CopyIsDeepForOwnedValuesAndShallowForReferences) {
  CountingUnknown object;
  VARIANT source;
  VARIANT copy;
  VariantInit(&copy);

  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(OLESTR("text"));
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_NE(copy.bstrVal, source.bstrVal) << "strings are duplicated";
  EXPECT_EQ(SysStringLen(copy.bstrVal), 4u);
  VariantClear(&source);

  source.vt = VT_UNKNOWN;
  source.punkVal = &object;
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);  // also frees the copied string
  EXPECT_EQ(copy.punkVal, source.punkVal);
  EXPECT_EQ(object.references(), 2u) << "interfaces are AddRef'd";
  VariantClear(&copy);
  EXPECT_EQ(object.references(), 1u);

  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 3);
  source.vt = VT_ARRAY | VT_I4;
  source.parray = array;
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_NE(copy.parray, array) << "arrays are copied";
  EXPECT_EQ(copy.parray->rgsabound[0].cElements, 3u);
  VariantClear(&copy);

  LONG value = 7;
  source.vt = VT_BYREF | VT_I4;
  source.plVal = &value;
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_EQ(copy.vt, VT_BYREF | VT_I4);
  EXPECT_EQ(copy.plVal, &value) << "references copy the pointer only";
  SafeArrayDestroy(array);
}

TEST_F(VariantTest, CopiesOfANullStringAreNewEmptyStrings) {
  BSTR null_text = nullptr;
  VARIANT by_value;
  by_value.vt = VT_BSTR;
  by_value.bstrVal = nullptr;
  VARIANT by_reference;
  by_reference.vt = VT_BYREF | VT_BSTR;
  by_reference.pbstrVal = &null_text;
  struct Case {
    const char* what;
    VARIANT* source;  // not const: MinGW declares the sources non-const
    bool indirect;
  };
  const Case cases[] = {
      {"VariantCopy of a null VT_BSTR", &by_value, false},
      {"VariantCopyInd of a reference to a null BSTR", &by_reference, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(c.indirect ? VariantCopyInd(&copy, c.source) : VariantCopy(&copy, c.source), S_OK);
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, nullptr) << "the copy is an allocated string";
    EXPECT_EQ(SysStringLen(copy.bstrVal), 0u);
    EXPECT_EQ(VariantClear(&copy), S_OK);  // the leak check sees it freed
  }
  EXPECT_EQ(by_value.bstrVal, nullptr) << "the source is left alone";
  EXPECT_EQ(null_text, nullptr);
}

TEST_F(VariantTest, CopyRefusesBadSourcesWithoutTouchingTheDestination) {
  const VARTYPE refused[] = {15, VT_CLSID, VT_VECTOR | VT_I4, VT_BYREF | VT_EMPTY};
  for (VARTYPE vt : refused) {
    SCOPED_TRACE(testing::Message() << "vt=0x" << std::hex << vt);
    VARIANT source;
    std::memset(&source, 0, sizeof source);
    source.vt = vt;
    VARIANT destination;
    destination.vt = VT_I4;
    destination.lVal = 7;
    EXPECT_EQ(VariantCopy(&destination, &source), DISP_E_BADVARTYPE);
    EXPECT_EQ(destination.vt, VT_I4);
    EXPECT_EQ(destination.lVal, 7);
  }
}

TEST_F(VariantTest, CopyIndDereferences) {
  BSTR text = SysAllocString(OLESTR("referenced"));
  VARIANT inner;
  inner.vt = VT_I4;
  inner.lVal = 99;
  struct Case {
    VARTYPE vt;
    void* referent;
    VARTYPE expected_vt;
  };
  const Case cases[] = {
      {VT_BYREF | VT_BSTR, &text, VT_BSTR},
      {VT_BYREF | VT_VARIANT, &inner, VT_I4},
  };
  for (const Case& c : cases) {
    VARIANT source;
    source.vt = c.vt;
    source.byref = c.referent;
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, c.expected_vt);
    if (copy.vt == VT_BSTR) {
      EXPECT_NE(copy.bstrVal, text);
    }
    if (copy.vt == VT_I4) {
      EXPECT_EQ(copy.lVal, 99);
    }
    VariantClear(&copy);
  }
  SysFreeString(text);
}

}  // namespace
}  // namespace conformance
