// SAFEARRAY -> Java rows read from the locked data: every shape (lower
// bounds, strided rows, partial blocks of rows, zero-length dimensions) must
// give what reading each element with SafeArrayGetElement gives, with and
// without the lock; arrays whose elements are not what their VARIANT says
// are refused. Java arrays -> SAFEARRAY: sub-arrays of different classes in
// one array each keep their own element type.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "marshal/java_to_variant.h"
#include "marshal/variant_to_java.h"
#include "oleport_testing.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

namespace {

class SafeArrayRowsTest : public JvmTest {};

struct Shape {
  const char* name;
  VARTYPE vt;
  std::vector<SAFEARRAYBOUND> bounds;  // dimension 1 first: {cElements, lLbound}
};

// The n-th element's value: distinct, small enough for every element type.
VARIANT nth_value(VARTYPE vt, int n) {
  VARIANT v;
  VariantInit(&v);
  switch (vt) {
    case VT_I1:
      v.vt = VT_I1;
      v.cVal = static_cast<CHAR>(n % 2 == 0 ? n % 100 : -(n % 100));
      break;
    case VT_I2:
      v.vt = VT_I2;
      v.iVal = static_cast<SHORT>(n % 2 == 0 ? n : -n);
      break;
    case VT_I4:
    case VT_INT:
      v.vt = vt;
      v.lVal = n % 2 == 0 ? n * 1000 : -n * 1000;
      break;
    case VT_I8:
      v.vt = VT_I8;
      v.llVal = (LONGLONG{1} << 40) + n;
      break;
    case VT_R4:
      v.vt = VT_R4;
      v.fltVal = static_cast<float>(n) + 0.5f;
      break;
    case VT_R8:
      v.vt = VT_R8;
      v.dblVal = static_cast<double>(n) - 0.25;
      break;
    case VT_BSTR: {
      v.vt = VT_BSTR;
      v.bstrVal = nullptr;
      if (n % 3 != 1) {  // every third element a null BSTR
        const std::u16string text = u"s" + std::u16string(static_cast<std::size_t>(n % 5), u'x');
        v.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                      static_cast<UINT>(text.size()));
      }
      break;
    }
    default:  // VT_VARIANT elements: numbers, strings, booleans and empties by turns
      if (n % 4 == 0) return nth_value(VT_I4, n);
      if (n % 4 == 1) return nth_value(VT_BSTR, n + 1);
      if (n % 4 == 2) {
        v.vt = VT_BOOL;
        v.boolVal = n % 8 == 2 ? VARIANT_TRUE : VARIANT_FALSE;
      }
      break;
  }
  return v;
}

// Walks every index vector of psa, dimension 1 outermost, as
// Arrays.deepToString would show the Java arrays.
void walk(SAFEARRAY* psa, const std::vector<SAFEARRAYBOUND>& bounds, std::size_t d,
          std::vector<LONG>& index, const std::function<void(const std::vector<LONG>&)>& at,
          std::string* text, const std::function<std::string(const std::vector<LONG>&)>& show) {
  if (text != nullptr) *text += "[";
  for (ULONG i = 0; i < bounds[d].cElements; ++i) {
    index[d] = bounds[d].lLbound + static_cast<LONG>(i);
    if (text != nullptr && i > 0) *text += ", ";
    if (d + 1 == bounds.size()) {
      if (at) at(index);
      if (text != nullptr) *text += show(index);
    } else {
      walk(psa, bounds, d + 1, index, at, text, show);
    }
  }
  if (text != nullptr) *text += "]";
}

// How Java prints the element at index, read back with SafeArrayGetElement.
std::string java_text_of_element(SAFEARRAY* psa, VARTYPE vt, const std::vector<LONG>& index) {
  std::vector<LONG> i = index;
  VARIANT e;
  VariantInit(&e);
  if (vt == VT_VARIANT) {
    EXPECT_EQ(SafeArrayGetElement(psa, i.data(), &e), S_OK);
  } else {
    e.vt = vt;
    EXPECT_EQ(SafeArrayGetElement(psa, i.data(), &e.llVal), S_OK);
  }
  std::string out;
  char buffer[64];
  switch (e.vt) {
    case VT_EMPTY:
      out = "null";
      break;
    case VT_BOOL:
      out = e.boolVal != 0 ? "true" : "false";
      break;
    case VT_I1:
      out = std::to_string(static_cast<int>(e.cVal));
      break;
    case VT_I2:
      out = std::to_string(e.iVal);
      break;
    case VT_I4:
    case VT_INT:
      out = std::to_string(e.lVal);
      break;
    case VT_I8:
      out = std::to_string(e.llVal);
      break;
    case VT_R4:  // n + 0.5: Java prints one decimal
      std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(e.fltVal));
      out = buffer;
      break;
    case VT_R8:  // n - 0.25
      std::snprintf(buffer, sizeof buffer, "%.2f", e.dblVal);
      out = buffer;
      break;
    case VT_BSTR: {  // a null BSTR is the empty string
      const std::u16string t = e.bstrVal != nullptr ? bstr_text(e.bstrVal) : u"";
      out.assign(t.begin(), t.end());
      break;
    }
    default:
      out = "vt " + std::to_string(e.vt);
  }
  VariantClear(&e);
  return out;
}

// A SAFEARRAY of shape with distinct elements, and its expected Java text.
SAFEARRAY* filled(const Shape& shape, std::string* expected) {
  SAFEARRAY* psa = SafeArrayCreate(shape.vt, static_cast<UINT>(shape.bounds.size()),
                                   const_cast<SAFEARRAYBOUND*>(shape.bounds.data()));
  EXPECT_NE(psa, nullptr);
  if (psa == nullptr) return nullptr;
  std::vector<LONG> index(shape.bounds.size());
  int n = 0;
  walk(
      psa, shape.bounds, 0, index,
      [&](const std::vector<LONG>& at) {
        VARIANT value = nth_value(shape.vt, n++);
        std::vector<LONG> i = at;
        void* put = shape.vt == VT_VARIANT ? static_cast<void*>(&value)
                    : shape.vt == VT_BSTR  ? static_cast<void*>(value.bstrVal)
                                           : static_cast<void*>(&value.llVal);
        if (shape.vt == VT_BSTR && value.bstrVal == nullptr) {
          // A null BSTR put is stored as an empty string: leave the slot null instead.
        } else {
          EXPECT_EQ(SafeArrayPutElement(psa, i.data(), put), S_OK);
        }
        VariantClear(&value);
      },
      nullptr, nullptr);
  *expected = "[";
  walk(psa, shape.bounds, 0, index, nullptr, expected,
       [&](const std::vector<LONG>& at) { return java_text_of_element(psa, shape.vt, at); });
  *expected += "]";
  return psa;
}

const Shape kShapes[] = {
    {"1-D VT_R8, bounds 5..8", VT_R8, {{4, 5}}},
    {"1-D VT_I4, one element", VT_I4, {{1, -3}}},
    {"2-D VT_R8 3x5, lower bounds 1 and -2", VT_R8, {{3, 1}, {5, -2}}},
    {"2-D VT_R8 17x3: two blocks of rows and one more", VT_R8, {{17, 0}, {3, 4}}},
    {"2-D VT_R8 8x1: rows of one element", VT_R8, {{8, 0}, {1, 0}}},
    {"2-D VT_R8 1x6: one row, contiguous", VT_R8, {{1, 0}, {6, 0}}},
    {"2-D VT_I1 9x2", VT_I1, {{9, 0}, {2, 0}}},
    {"2-D VT_I2 2x9", VT_I2, {{2, 7}, {9, 0}}},
    {"2-D VT_INT 10x3", VT_INT, {{10, -1}, {3, 0}}},
    {"2-D VT_I8 3x3", VT_I8, {{3, 0}, {3, 0}}},
    {"2-D VT_R4 4x2", VT_R4, {{4, 0}, {2, 0}}},
    {"3-D VT_I4 2x3x4", VT_I4, {{2, 0}, {3, 1}, {4, 0}}},
    {"4-D VT_R8 2x2x9x2", VT_R8, {{2, 0}, {2, 0}, {9, 3}, {2, 0}}},
    {"2-D VT_R8, no rows", VT_R8, {{0, 0}, {3, 0}}},
    {"2-D VT_R8, empty rows", VT_R8, {{3, 0}, {0, 0}}},
    {"3-D VT_I4, empty middle dimension", VT_I4, {{2, 0}, {0, 0}, {2, 0}}},
    {"3-D VT_I4, empty rows", VT_I4, {{2, 0}, {2, 0}, {0, 5}}},
    {"2-D VT_BSTR 3x4 with null strings", VT_BSTR, {{3, 0}, {4, 2}}},
    {"1-D VT_BSTR", VT_BSTR, {{5, 0}}},
    {"2-D VT_VARIANT 3x4: numbers, strings, booleans, empties", VT_VARIANT, {{3, 0}, {4, 0}}},
};

TEST_F(SafeArrayRowsTest, RowsMatchTheElementReadsWithAndWithoutTheLock) {
  for (const bool lockable : {true, false}) {
    for (const Shape& shape : kShapes) {
      // VARIANT elements are only ever converted where they lie: an array
      // that cannot be locked fails on them ("Failed to get array element.").
      if (!lockable && shape.vt == VT_VARIANT) continue;
      SCOPED_TRACE(std::string(shape.name) + (lockable ? "" : ", array that cannot be locked"));
      std::string expected;
      VARIANT v;
      VariantInit(&v);
      v.vt = VT_ARRAY | shape.vt;
      v.parray = filled(shape, &expected);
      ASSERT_NE(v.parray, nullptr);
      // At the lock count's limit SafeArrayLock refuses, and the conversion
      // falls back to copying each element out.
      const ULONG locks = v.parray->cLocks;
      if (!lockable) v.parray->cLocks = 0xffff;
      jobject result = ov_variant_to_java(env, nullptr, &v);
      v.parray->cLocks = locks;
      ASSERT_EQ(ov_test_take_exception(env), "");
      EXPECT_EQ(java_deep_text(env, result), expected);
      env->DeleteLocalRef(result);
      ov_clear_variant(&v, false);
    }
  }
}

TEST_F(SafeArrayRowsTest, ElementTypesWithoutARowStayRefused) {
  const struct {
    const char* name;
    VARTYPE vt;
    std::vector<SAFEARRAYBOUND> bounds;
    const char* exception;  // "" for null without an exception
  } cases[] = {
      {"1-D VT_DATE",
       VT_DATE,
       {{2, 0}},
       "com.qel.vandrel.com.win32.DispatchVariant2JavaException: Not supported VT_ARRAY type."},
      {"2-D VT_DATE", VT_DATE, {{2, 0}, {3, 0}}, ""},
      {"1-D VT_BOOL",
       VT_BOOL,
       {{2, 0}},
       "com.qel.vandrel.com.win32.DispatchVariant2JavaException: Not supported VT_ARRAY type."},
      {"3-D VT_BOOL", VT_BOOL, {{2, 0}, {1, 0}, {2, 0}}, ""},
      {"2-D VT_UI1", VT_UI1, {{2, 0}, {2, 0}}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | c.vt;
    v.parray = SafeArrayCreate(c.vt, static_cast<UINT>(c.bounds.size()),
                               const_cast<SAFEARRAYBOUND*>(c.bounds.data()));
    EXPECT_EQ(ov_variant_to_java(env, nullptr, &v), nullptr);
    jthrowable thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    EXPECT_EQ(thrown != nullptr ? ov_test_describe_throwable(env, thrown) : "", c.exception);
    if (thrown != nullptr) java_release_variant(env, thrown);
    ov_clear_variant(&v, false);
  }
}

TEST_F(SafeArrayRowsTest, ArraysWhoseElementsAreNotWhatTheVariantSaysAreRefused) {
  const std::string prefix = "com.qel.vandrel.com.win32.DispatchVariant2JavaException: ";
  const struct {
    const char* name;
    VARTYPE claimed;  // the VARIANT's element type
    VARTYPE held;     // the array's own
    std::vector<SAFEARRAYBOUND> bounds;
  } cases[] = {
      {"doubles claimed, ints held", VT_R8, VT_I4, {{3, 0}}},
      {"doubles claimed, ints held, 2-D", VT_R8, VT_I4, {{2, 0}, {2, 0}}},
      {"ints claimed, strings held", VT_I4, VT_BSTR, {{2, 0}}},
      {"strings claimed, ints held", VT_BSTR, VT_I4, {{2, 0}}},
      {"strings claimed, VARIANTs held", VT_BSTR, VT_VARIANT, {{2, 0}}},
      {"VARIANTs claimed, doubles held", VT_VARIANT, VT_R8, {{2, 0}}},
      {"longs claimed, VARIANTs held", VT_I8, VT_VARIANT, {{1, 0}, {2, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | c.claimed;
    v.parray = SafeArrayCreate(c.held, static_cast<UINT>(c.bounds.size()),
                               const_cast<SAFEARRAYBOUND*>(c.bounds.data()));
    EXPECT_EQ(ov_variant_to_java(env, nullptr, &v), nullptr);
    const std::string thrown = ov_test_take_exception(env);
    EXPECT_EQ(thrown.rfind(prefix + "The SAFEARRAY's elements (", 0), 0u) << thrown;
    EXPECT_NE(thrown.find("do not hold its VARTYPE " + std::to_string(c.claimed) + "."),
              std::string::npos)
        << thrown;
    ov_clear_variant(&v, false);
  }

  // Bounds with elements but no data at all.
  SAFEARRAY* bare = nullptr;
  ASSERT_EQ(SafeArrayAllocDescriptor(1, &bare), S_OK);
  bare->cbElements = sizeof(LONG);
  bare->rgsabound[0].cElements = 2;
  bare->rgsabound[0].lLbound = 0;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | VT_I4;
  v.parray = bare;
  EXPECT_EQ(ov_variant_to_java(env, nullptr, &v), nullptr);
  EXPECT_EQ(ov_test_take_exception(env),
            prefix + "The SAFEARRAY's elements (4 bytes each) do not hold its VARTYPE 3.");
  EXPECT_EQ(SafeArrayDestroyDescriptor(bare), S_OK);
}

// Java -> SAFEARRAY: an array's first array element names the class the
// later ones are compared with; each must still get its own element type.
TEST_F(SafeArrayRowsTest, SubArraysOfOtherClassesKeepTheirOwnElementType) {
  auto ints = [this](std::initializer_list<jint> values) -> jobject {
    jintArray a = env->NewIntArray(static_cast<jsize>(values.size()));
    env->SetIntArrayRegion(a, 0, static_cast<jsize>(values.size()), values.begin());
    return a;
  };
  auto strings = [this] {
    return java_object_array(env, "java/lang/String", {java_string(env, u"a")});
  };
  auto objects = [this] {
    return java_object_array(env, "java/lang/Object", {java_string(env, u"o"), nullptr});
  };
  const struct {
    const char* name;
    std::function<jobject()> make;
    std::vector<VARTYPE> element_types;  // of each element VARIANT
  } cases[] = {
      {"int[][]",
       [&] {
         return java_object_array(env, "[I", {ints({1}), ints({2, 3}), ints({})});
       },
       {VT_ARRAY | VT_I4, VT_ARRAY | VT_I4, VT_ARRAY | VT_I4}},
      {"Object[][]: String[] first, then Object[]",
       [&] {
         return java_object_array(env, "[Ljava/lang/Object;", {strings(), objects()});
       },
       {VT_ARRAY | VT_BSTR, VT_ARRAY | VT_VARIANT}},
      {"Object[][]: Object[] first, then String[] (a subclass of it)",
       [&] {
         return java_object_array(env, "[Ljava/lang/Object;", {objects(), strings()});
       },
       {VT_ARRAY | VT_VARIANT, VT_ARRAY | VT_BSTR}},
      {"Object[] mixing arrays and values",
       [&] {
         return java_object_array(env, "java/lang/Object",
                                  {ints({4}), java_integer(env, 5), strings(), ints({6, 7}),
                                   java_string(env, u"x"), nullptr});
       },
       {VT_ARRAY | VT_I4, VT_I4, VT_ARRAY | VT_BSTR, VT_ARRAY | VT_I4, VT_BSTR, VT_EMPTY}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(ov_java_to_variant(env, c.make(), &v), 1) << ov_test_take_exception(env);
    ASSERT_EQ(v.vt, VT_ARRAY | VT_VARIANT);
    LONG ub = -1;
    SafeArrayGetUBound(v.parray, 1, &ub);
    ASSERT_EQ(static_cast<std::size_t>(ub + 1), c.element_types.size());
    for (LONG i = 0; i <= ub; ++i) {
      VARIANT e;
      VariantInit(&e);
      EXPECT_EQ(SafeArrayGetElement(v.parray, &i, &e), S_OK);
      EXPECT_EQ(e.vt, c.element_types[static_cast<std::size_t>(i)]) << "element " << i;
      VariantClear(&e);
    }
    ov_clear_variant(&v, false);
  }
}

}  // namespace
