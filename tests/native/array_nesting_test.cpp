// Arrays nested in arrays, both ways: at most kOvMaxArrayNesting Java array
// levels (dimensions included), arrays that contain themselves, and every
// level converted once - counted through the runtime's SAFEARRAY accounting.
#include <string>
#include <vector>

#include "marshal/array_nesting.h"
#include "marshal/java_to_variant.h"
#include "marshal/variant_to_java.h"
#include "oleport_testing.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

namespace {

constexpr const char* kTooDeep =
    " nesting deeper than 255 levels is refused: 255 is the most dimensions a Java array type "
    "has, and every level costs native stack.";

class ArrayNestingTest : public JvmTest {
 protected:
  jclass object_array_class() { return ov_test_find_class(env, "[Ljava/lang/Object;"); }

  // depth levels of one-element Object[]s around Integer 7.
  jobject java_nesting(int depth) {
    jclass object = ov_test_find_class(env, "java/lang/Object");
    jobject level = java_integer(env, 7);
    for (int i = 0; i < depth; ++i) {
      jobject outer = env->NewObjectArray(1, object, level);
      env->DeleteLocalRef(level);
      level = outer;
    }
    env->DeleteLocalRef(object);
    return level;
  }

  // The Java array levels of value, following element 0 down (a typed leaf
  // array counts as its dimensions).
  int java_levels(jobject value) {
    jclass object_array = object_array_class();
    int levels = 0;
    jobject current = env->NewLocalRef(value);
    while (current != nullptr && env->IsInstanceOf(current, object_array)) {
      jobject next = env->GetObjectArrayElement(static_cast<jobjectArray>(current), 0);
      env->DeleteLocalRef(current);
      current = next;
      ++levels;
    }
    if (current != nullptr && java_class_name(env, current) == "[I") ++levels;
    env->DeleteLocalRef(current);
    env->DeleteLocalRef(object_array);
    return levels;
  }

  std::string take_refusal(bool expect_variant) {
    jthrowable thrown = env->ExceptionOccurred();
    if (thrown == nullptr) return "no exception";
    env->ExceptionClear();
    std::string text = java_to_string(env, thrown);
    if (text.find("DispatchVariant2JavaException") != std::string::npos) {
      EXPECT_EQ(java_variant_handle(env, thrown) != 0, expect_variant);
      java_release_variant(env, thrown);
    }
    env->DeleteLocalRef(thrown);
    return text;
  }
};

// A one-element VT_ARRAY|VT_VARIANT array around inner, moved in.
VARIANT variant_level(VARIANT inner) {
  SAFEARRAYBOUND bound{1, 0};
  SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 1, &bound);
  void* data = nullptr;
  SafeArrayAccessData(psa, &data);
  *static_cast<VARIANT*>(data) = inner;
  SafeArrayUnaccessData(psa);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | VT_VARIANT;
  v.parray = psa;
  return v;
}

// depth levels of VARIANT arrays; the innermost is a VT_I4 array of dims
// dimensions of one element each.
VARIANT variant_nesting(int depth, UINT innermost_dims) {
  std::vector<SAFEARRAYBOUND> bounds(innermost_dims, SAFEARRAYBOUND{1, 0});
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | VT_I4;
  v.parray = SafeArrayCreate(VT_I4, innermost_dims, bounds.data());
  for (int i = 1; i < depth; ++i) v = variant_level(v);
  return v;
}

TEST_F(ArrayNestingTest, JavaArraysNestUpToTheLimitEachLevelMadeOnce) {
  for (int depth : {kOvMaxArrayNesting, kOvMaxArrayNesting + 1}) {
    SCOPED_TRACE(depth);
    const long created = oleport_created_safearray_count();
    VARIANT v;
    VariantInit(&v);
    const int converted = ov_java_to_variant(env, java_nesting(depth), &v);
    if (depth <= kOvMaxArrayNesting) {
      ASSERT_EQ(converted, 1) << ov_test_take_exception(env);
      EXPECT_EQ(oleport_created_safearray_count() - created, depth) << "one array per level";
      // And back, read in place: no array is copied out.
      const long before_back = oleport_created_safearray_count();
      jobject back = ov_variant_to_java(env, nullptr, &v);
      ASSERT_EQ(ov_test_take_exception(env), "");
      EXPECT_EQ(oleport_created_safearray_count(), before_back);
      EXPECT_EQ(java_levels(back), depth);
      env->DeleteLocalRef(back);
    } else {
      EXPECT_EQ(converted, 0);
      EXPECT_EQ(take_refusal(false),
                std::string("com.qel.vandrel.com.win32.DispatchException: Array") + kTooDeep);
      EXPECT_EQ(v.vt, VT_EMPTY);
    }
    ov_clear_variant(&v, false);  // the harness checks that every level went
  }
}

TEST_F(ArrayNestingTest, SafeArraysNestUpToTheLimitDimensionsIncluded) {
  const struct {
    int depth;
    UINT innermost_dims;
    bool converts;
  } cases[] = {
      {kOvMaxArrayNesting, 1, true},
      {kOvMaxArrayNesting + 1, 1, false},
      {2, kOvMaxArrayNesting - 1, true},
      {2, kOvMaxArrayNesting, false},
      {5000, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.depth) + " levels, " + std::to_string(c.innermost_dims) +
                 " dimensions innermost");
    VARIANT v = variant_nesting(c.depth, c.innermost_dims);
    const long created = oleport_created_safearray_count();
    jobject result = ov_variant_to_java(env, nullptr, &v);
    EXPECT_EQ(oleport_created_safearray_count(), created) << "nothing copied out";
    if (c.converts) {
      ASSERT_EQ(ov_test_take_exception(env), "");
      EXPECT_EQ(java_levels(result), c.depth - 1 + static_cast<int>(c.innermost_dims));
    } else {
      EXPECT_EQ(result, nullptr);
      // No copy of the nesting travels with the exception.
      EXPECT_EQ(take_refusal(false),
                std::string("com.qel.vandrel.com.win32.DispatchVariant2JavaException: SAFEARRAY") +
                    kTooDeep);
    }
    env->DeleteLocalRef(result);
    ov_clear_variant(&v, false);
  }
}

TEST_F(ArrayNestingTest, ArraysThatContainThemselvesAreRefused) {
  jclass object = ov_test_find_class(env, "java/lang/Object");
  jobjectArray self = env->NewObjectArray(1, object, nullptr);
  env->SetObjectArrayElement(self, 0, self);
  jobjectArray outer = env->NewObjectArray(2, object, nullptr);
  jobjectArray inner = java_object_array(env, "java/lang/Object", {java_string(env, u"x"), outer});
  env->SetObjectArrayElement(outer, 0, java_integer(env, 1));
  env->SetObjectArrayElement(outer, 1, inner);
  const struct {
    const char* name;
    jobject value;
    int level;
  } cases[] = {
      {"one level down", self, 2},
      {"two levels down, after converted elements", outer, 3},
      {"inside an array that does not", java_object_array(env, "java/lang/Object", {self}), 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(ov_java_to_variant(env, c.value, &v), 0);
    EXPECT_EQ(take_refusal(false),
              "com.qel.vandrel.com.win32.DispatchException: The array "
              "contains itself (at nesting level " +
                  std::to_string(c.level) + ") and cannot be converted.");
    EXPECT_EQ(v.vt, VT_EMPTY);
  }
  env->DeleteLocalRef(object);
}

}  // namespace
