// SAFEARRAY creation per element type, bounds and indices, element copy
// rules, memory order of several dimensions, locking, copying and data
// storage the caller owns.
#include <cstring>
#include <initializer_list>
#include <string>

#include "fake_objects.h"
#include "platform_accounting.h"

namespace conformance {
namespace {

class SafeArrayTest : public LeakCheckedTest {};

TEST_F(SafeArrayTest, CreateMakesArraysOfTheElementTypesWindowsSupports) {
  constexpr ULONG kPtr = sizeof(void*);
  struct Case {
    VARTYPE vt;
    ULONG element_size;  // 0: no array of this type
    USHORT features;
  };
  const Case cases[] = {
      {VT_EMPTY, 0, 0},
      {VT_NULL, 0, 0},
      {VT_I2, 2, FADF_HAVEVARTYPE},
      {VT_I4, 4, FADF_HAVEVARTYPE},
      {VT_R4, 4, FADF_HAVEVARTYPE},
      {VT_R8, 8, FADF_HAVEVARTYPE},
      {VT_CY, 8, FADF_HAVEVARTYPE},
      {VT_DATE, 8, FADF_HAVEVARTYPE},
      {VT_BSTR, kPtr, FADF_HAVEVARTYPE | FADF_BSTR},
      {VT_DISPATCH, kPtr, FADF_HAVEIID | FADF_DISPATCH},
      {VT_ERROR, 4, FADF_HAVEVARTYPE},
      {VT_BOOL, 2, FADF_HAVEVARTYPE},
      {VT_VARIANT, sizeof(VARIANT), FADF_HAVEVARTYPE | FADF_VARIANT},
      {VT_UNKNOWN, kPtr, FADF_HAVEIID | FADF_UNKNOWN},
      {VT_DECIMAL, 16, FADF_HAVEVARTYPE},
      {15, 0, 0},
      {VT_I1, 1, FADF_HAVEVARTYPE},
      {VT_UI1, 1, FADF_HAVEVARTYPE},
      {VT_UI2, 2, FADF_HAVEVARTYPE},
      {VT_UI4, 4, FADF_HAVEVARTYPE},
      {VT_I8, 8, FADF_HAVEVARTYPE},
      {VT_UI8, 8, FADF_HAVEVARTYPE},
      {VT_INT, 4, FADF_HAVEVARTYPE},
      {VT_UINT, 4, FADF_HAVEVARTYPE},
      {VT_VOID, 0, 0},
      {VT_HRESULT, 0, 0},
      {VT_LPWSTR, 0, 0},
      {VT_RECORD, 0, 0},
      {VT_INT_PTR, kPtr, FADF_HAVEVARTYPE},
      {VT_UINT_PTR, kPtr, FADF_HAVEVARTYPE},
      {VT_CLSID, 0, 0},
      {VT_BYREF | VT_I4, 0, 0},
      {VT_ARRAY | VT_I4, 0, 0},
      {VT_VECTOR | VT_I4, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "vt=0x" << std::hex << c.vt);
    SAFEARRAYBOUND bound{3, 0};
    SAFEARRAY* array = SafeArrayCreate(c.vt, 1, &bound);
    if (c.element_size == 0) {
      EXPECT_EQ(array, nullptr);
      continue;
    }
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->cbElements, c.element_size);
    EXPECT_EQ(SafeArrayGetElemsize(array), c.element_size);
    EXPECT_EQ(array->fFeatures, c.features);
    EXPECT_EQ(array->cLocks, 0u);
    VARTYPE stored = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(array, &stored), S_OK);
    EXPECT_EQ(stored, c.vt);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
  }
}

TEST_F(SafeArrayTest, CreateRefusesShapelessArrays) {
  SAFEARRAYBOUND bound{3, 0};
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
  SAFEARRAYBOUND empty{0, 0};
  SAFEARRAY* array = SafeArrayCreate(VT_I4, 1, &empty);
  ASSERT_NE(array, nullptr) << "zero elements is a valid shape";
  SafeArrayDestroy(array);
}

TEST_F(SafeArrayTest, InterfaceArraysRecordTheirInterfaceId) {
  struct Case {
    VARTYPE vt;
    const IID* iid;
  };
  const Case cases[] = {{VT_UNKNOWN, &IID_IUnknown}, {VT_DISPATCH, &IID_IDispatch}};
  for (const Case& c : cases) {
    SAFEARRAY* array = SafeArrayCreateVector(c.vt, 0, 1);
    GUID iid = GUID_NULL;
    EXPECT_EQ(SafeArrayGetIID(array, &iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, *c.iid));
    SafeArrayDestroy(array);
  }
}

TEST_F(SafeArrayTest, VectorsHaveOneDimensionAndTheirOwnFlag) {
  SAFEARRAY* vector = SafeArrayCreateVector(VT_BSTR, 1, 4);
  ASSERT_NE(vector, nullptr);
  EXPECT_EQ(SafeArrayGetDim(vector), 1u);
  EXPECT_EQ(vector->rgsabound[0].lLbound, 1);
  EXPECT_EQ(vector->rgsabound[0].cElements, 4u);
  constexpr USHORT kCreateVector = 0x2000;  // FADF_CREATEVECTOR; MinGW's headers lack it
  EXPECT_EQ(vector->fFeatures, FADF_HAVEVARTYPE | FADF_BSTR | kCreateVector);
  SafeArrayDestroy(vector);
}

TEST_F(SafeArrayTest, BoundsAreStoredReversedAndTheFirstIndexVariesFastest) {
  // Dimension 1: 1..3, dimension 2: -1..0.
  SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, -1}};
  SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->rgsabound[0].cElements, 2u);
  EXPECT_EQ(array->rgsabound[0].lLbound, -1);
  EXPECT_EQ(array->rgsabound[1].cElements, 3u);
  EXPECT_EQ(array->rgsabound[1].lLbound, 1);

  struct Bounds {
    UINT dimension;
    LONG lower;
    LONG upper;
  };
  for (const Bounds& b : {Bounds{1, 1, 3}, Bounds{2, -1, 0}}) {
    LONG lower = 0;
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(array, b.dimension, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(array, b.dimension, &upper), S_OK);
    EXPECT_EQ(lower, b.lower);
    EXPECT_EQ(upper, b.upper);
  }

  for (LONG i = 1; i <= 3; ++i) {
    for (LONG j = -1; j <= 0; ++j) {
      LONG indices[2] = {i, j};
      LONG value = i * 10 + j;
      ASSERT_EQ(SafeArrayPutElement(array, indices, &value), S_OK);
    }
  }
  LONG* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(array, reinterpret_cast<void**>(&data)), S_OK);
  const LONG expected[6] = {9, 19, 29, 10, 20, 30};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(data[k], expected[k]) << "at " << k;
  SafeArrayUnaccessData(array);
  SafeArrayDestroy(array);
}

TEST_F(SafeArrayTest, BadDimensionsAndIndicesGiveBadIndex) {
  SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, -1}};
  SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
  LONG bound = 0;
  EXPECT_EQ(SafeArrayGetLBound(array, 0, &bound), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetUBound(array, 3, &bound), DISP_E_BADINDEX);
  const LONG bad[][2] = {{0, 0}, {4, 0}, {1, 1}, {1, -2}};
  for (const auto& index : bad) {
    SCOPED_TRACE(testing::Message() << index[0] << "," << index[1]);
    LONG indices[2] = {index[0], index[1]};
    LONG value = 5;
    EXPECT_EQ(SafeArrayGetElement(array, indices, &value), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayPutElement(array, indices, &value), DISP_E_BADINDEX);
    void* address = nullptr;
    EXPECT_EQ(SafeArrayPtrOfIndex(array, indices, &address), DISP_E_BADINDEX);
  }
  SafeArrayDestroy(array);
}

TEST_F(SafeArrayTest, StringElementsAreCopiedInAndOut) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, 2);
  LONG index = 0;
  BSTR original = SysAllocString(OLESTR("first"));
  ASSERT_EQ(SafeArrayPutElement(array, &index, original), S_OK);
  BSTR* data = static_cast<BSTR*>(array->pvData);
  EXPECT_NE(data[0], original);
  SysFreeString(original);

  BSTR replacement = SysAllocString(OLESTR("second"));
  ASSERT_EQ(SafeArrayPutElement(array, &index, replacement), S_OK);  // old one freed
  SysFreeString(replacement);

  BSTR out = nullptr;
  ASSERT_EQ(SafeArrayGetElement(array, &index, &out), S_OK);
  EXPECT_NE(out, data[0]);
  EXPECT_EQ(std::basic_string<OLECHAR>(out, SysStringLen(out)),
            std::basic_string<OLECHAR>(OLESTR("second")));
  SysFreeString(out);

  LONG untouched = 1;
  OLECHAR sentinel[] = OLESTR("x");
  BSTR missing = sentinel;
  ASSERT_EQ(SafeArrayGetElement(array, &untouched, &missing), S_OK);
  EXPECT_EQ(missing, nullptr) << "a null element comes out null";

  ASSERT_EQ(SafeArrayPutElement(array, &index, nullptr), S_OK);
  EXPECT_NE(data[0], nullptr) << "a null BSTR is stored as an empty string";
  EXPECT_EQ(SysStringLen(data[0]), 0u);
  SafeArrayDestroy(array);
}

TEST_F(SafeArrayTest, InterfaceElementsAreReferenceCounted) {
  CountingUnknown first;
  CountingUnknown second;
  SAFEARRAY* array = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
  LONG index = 0;
  ASSERT_EQ(SafeArrayPutElement(array, &index, static_cast<IUnknown*>(&first)), S_OK);
  EXPECT_EQ(first.references(), 2u);
  ASSERT_EQ(SafeArrayPutElement(array, &index, static_cast<IUnknown*>(&second)), S_OK);
  EXPECT_EQ(first.references(), 1u) << "the replaced element is released";
  IUnknown* out = nullptr;
  ASSERT_EQ(SafeArrayGetElement(array, &index, &out), S_OK);
  EXPECT_EQ(out, &second);
  EXPECT_EQ(second.references(), 3u);
  out->Release();
  SafeArrayDestroy(array);
  EXPECT_EQ(second.references(), 1u) << "destroying the array releases its elements";
}

TEST_F(SafeArrayTest, VariantElementsAreCopiedDeep) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  LONG index = 0;
  VARIANT in;
  in.vt = VT_BSTR;
  in.bstrVal = SysAllocString(OLESTR("inside"));
  ASSERT_EQ(SafeArrayPutElement(array, &index, &in), S_OK);
  auto* data = static_cast<VARIANT*>(array->pvData);
  EXPECT_EQ(data[0].vt, VT_BSTR);
  EXPECT_NE(data[0].bstrVal, in.bstrVal);
  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(SafeArrayGetElement(array, &index, &out), S_OK);
  EXPECT_EQ(out.vt, VT_BSTR);
  EXPECT_NE(out.bstrVal, data[0].bstrVal);
  VariantClear(&out);
  VariantClear(&in);
  SafeArrayDestroy(array);
}

TEST_F(SafeArrayTest, LockedArraysCannotBeDestroyed) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
  EXPECT_EQ(data, array->pvData);
  EXPECT_EQ(array->cLocks, 1u);
  EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayDestroyData(array), DISP_E_ARRAYISLOCKED);
  LONG index = 1;
  LONG value = 3;
  EXPECT_EQ(SafeArrayPutElement(array, &index, &value), S_OK) << "locking does not freeze";
  EXPECT_EQ(SafeArrayLock(array), S_OK);
  EXPECT_EQ(SafeArrayUnlock(array), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(array), E_UNEXPECTED);
  EXPECT_EQ(SafeArrayUnlock(array), E_UNEXPECTED);
  EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

// FADF_STATIC: the caller owns the storage. Destroying the data releases what
// the elements own and clears them, and leaves the storage where it is.
TEST_F(SafeArrayTest, DestroyDataReleasesAndClearsStaticStorageInPlace) {
  CountingUnknown object;
  object.AddRef();  // the element's reference
  const BSTR text = SysAllocString(OLESTR("a"));
  IUnknown* const unknown = &object;
  const double numbers[3] = {1.5, -2.0, 3.25};
  struct Case {
    const char* name;
    USHORT features;
    ULONG element_size;
    ULONG count;
    const void* elements;
  };
  const Case cases[] = {
      {"strings", FADF_STATIC | FADF_BSTR, sizeof(BSTR), 1, &text},
      {"interfaces", FADF_STATIC | FADF_UNKNOWN, sizeof(IUnknown*), 1, &unknown},
      {"numbers", FADF_STATIC, sizeof(double), 3, numbers},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned char data[sizeof numbers] = {};
    std::memcpy(data, c.elements, c.element_size * c.count);
    SAFEARRAY* array = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptor(1, &array), S_OK);
    array->fFeatures = c.features;
    array->cbElements = c.element_size;
    array->rgsabound[0].cElements = c.count;
    array->pvData = data;
    EXPECT_EQ(SafeArrayDestroyData(array), S_OK);
    EXPECT_EQ(array->pvData, static_cast<void*>(data));
    for (const unsigned char byte : data) EXPECT_EQ(byte, 0);
    EXPECT_EQ(SafeArrayDestroyDescriptor(array), S_OK);
  }
  EXPECT_EQ(object.references(), 1u) << "the interface element was released once";
}

TEST_F(SafeArrayTest, NullArraysAreHandled) {
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
  EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
  EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
  EXPECT_EQ(SafeArrayUnlock(nullptr), E_INVALIDARG);
}

TEST_F(SafeArrayTest, CopyDuplicatesElementsAndShape) {
  SAFEARRAYBOUND bounds[2] = {{2, 5}, {1, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 2, bounds);
  LONG indices[2] = {6, 0};
  BSTR text = SysAllocString(OLESTR("copied"));
  SafeArrayPutElement(array, indices, text);
  SysFreeString(text);
  SafeArrayLock(array);

  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(SafeArrayGetDim(copy), 2u);
  EXPECT_EQ(copy->fFeatures, array->fFeatures);
  EXPECT_EQ(copy->cLocks, 0u) << "the copy starts unlocked";
  LONG lower = 0;
  SafeArrayGetLBound(copy, 1, &lower);
  EXPECT_EQ(lower, 5);
  VARTYPE vt = VT_EMPTY;
  SafeArrayGetVartype(copy, &vt);
  EXPECT_EQ(vt, VT_BSTR);
  BSTR* original_data = static_cast<BSTR*>(array->pvData);
  BSTR* copy_data = static_cast<BSTR*>(copy->pvData);
  EXPECT_NE(copy_data[1], original_data[1]);
  EXPECT_EQ(SysStringLen(copy_data[1]), 6u);
  EXPECT_EQ(copy_data[0], nullptr);

  SafeArrayUnlock(array);
  SafeArrayDestroy(array);
  SafeArrayDestroy(copy);
}

}  // namespace
}  // namespace conformance
