// RefContainer natives: the layout of the numeric kinds, the boolean byte,
// string cells and the Object cell's global reference.
#include <cstring>
#include <string>

#include "oleport_testing.h"
#include "refcells/ref_container_natives.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

#define RC(name) Java_com_qel_vandrel_com_win32_RefContainer__1##name

namespace {

class RefContainerTest : public JvmTest {
 protected:
  void SetUp() override {
    JvmTest::SetUp();
    cell_ = RC(calloc)(env, nullptr, 8);
    ASSERT_NE(cell_, 0);
  }
  void TearDown() override {
    RC(free)(env, nullptr, cell_);
    JvmTest::TearDown();
  }
  unsigned char byte_at(int i) const { return ov_from_handle<unsigned char>(cell_)[i]; }

  jlong cell_ = 0;
};

TEST_F(RefContainerTest, FreshCellReadsEmptyThroughEveryKind) {
  EXPECT_EQ(RC(getValueByBoolean)(env, nullptr, cell_), JNI_FALSE);
  EXPECT_EQ(RC(getValueByByte)(env, nullptr, cell_), 0);
  EXPECT_EQ(RC(getValueByShort)(env, nullptr, cell_), 0);
  EXPECT_EQ(RC(getValueByInt)(env, nullptr, cell_), 0);
  EXPECT_EQ(RC(getValueByLong)(env, nullptr, cell_), 0);
  EXPECT_EQ(RC(getValueByFloat)(env, nullptr, cell_), 0.0f);
  EXPECT_EQ(RC(getValueByDouble)(env, nullptr, cell_), 0.0);
  EXPECT_EQ(RC(getValueByIUnknown)(env, nullptr, cell_), 0);
  EXPECT_EQ(RC(getValueByVoidPtr)(env, nullptr, cell_), 0);
  EXPECT_EQ(RC(getValueByObject)(env, nullptr, cell_), nullptr);
  EXPECT_EQ(RC(getValueByBStrPtr)(env, nullptr, cell_), nullptr);
}

TEST_F(RefContainerTest, NumericKindsOverlapLittleEndian) {
  const struct {
    const char* name;
    void (*write)(JNIEnv*, jlong);
    jbyte as_byte;
    jshort as_short;
    jint as_int;
  } cases[] = {
      {"Int -2",
       [](JNIEnv* e, jlong c) {
         RC(setValueForInt)
         (e, nullptr, c, -2);
       },
       -2, -2, -2},
      {"Long 300",
       [](JNIEnv* e, jlong c) {
         RC(setValueForLong)
         (e, nullptr, c, 300);
       },
       44, 300, 300},
      {"Short 0x1234",
       [](JNIEnv* e, jlong c) {
         RC(setValueForShort)
         (e, nullptr, c, 0x1234);
       },
       0x34, 0x1234, 0x1234},
      {"VoidPtr 2^32+7",
       [](JNIEnv* e, jlong c) {
         RC(setValueForVoidPtr)
         (e, nullptr, c, (jlong{1} << 32) + 7);
       },
       7, 7, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RC(setValueForLong)(env, nullptr, cell_, 0);
    c.write(env, cell_);
    EXPECT_EQ(RC(getValueByByte)(env, nullptr, cell_), c.as_byte);
    EXPECT_EQ(RC(getValueByShort)(env, nullptr, cell_), c.as_short);
    EXPECT_EQ(RC(getValueByInt)(env, nullptr, cell_), c.as_int);
  }
  RC(setValueForLong)(env, nullptr, cell_, -1);
  RC(setValueForInt)(env, nullptr, cell_, 0);
  EXPECT_EQ(RC(getValueByLong)(env, nullptr, cell_), static_cast<jlong>(0xFFFFFFFF00000000ULL))
      << "Int writes 4 bytes only";
  RC(setValueForDouble)(env, nullptr, cell_, 1.0);
  EXPECT_EQ(RC(getValueByLong)(env, nullptr, cell_), 0x3FF0000000000000LL);
  RC(setValueForFloat)(env, nullptr, cell_, 1.0f);
  EXPECT_EQ(RC(getValueByInt)(env, nullptr, cell_), 0x3F800000);
  // A callee writing a 32-bit pointer into a zeroed IUnknown cell.
  RC(setValueForLong)(env, nullptr, cell_, 0);
  const std::uint32_t pointer = 0x80001234u;
  std::memcpy(ov_from_handle<void>(cell_), &pointer, 4);
  EXPECT_EQ(RC(getValueByIUnknown)(env, nullptr, cell_), jlong{0x80001234});
}

TEST_F(RefContainerTest, BooleanByteIsReadBackUnchanged) {
  RC(setValueForBoolean)(env, nullptr, cell_, JNI_TRUE);
  EXPECT_EQ(RC(getValueByShort)(env, nullptr, cell_), 1) << "the second byte is not touched";
  RC(setValueForByte)(env, nullptr, cell_, -1);
  EXPECT_EQ(RC(getValueByBoolean)(env, nullptr, cell_), 0xFF);
  EXPECT_EQ(byte_at(1), 0);
}

TEST_F(RefContainerTest, StringCellsOwnTheirBstr) {
  const long baseline = oleport_live_bstr_count();
  const struct {
    const char* name;
    std::u16string text;
    bool null;
  } cases[] = {
      {"empty", u"", false},
      {"embedded zero", std::u16string(u"a\0b", 3), false},
      {"text", u"\u00e4\u20ac", false},
      {"null", u"", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RC(setValueForBStrPtr)(env, nullptr, cell_, c.null ? nullptr : java_string(env, c.text));
    EXPECT_EQ(oleport_live_bstr_count(), baseline + (c.null ? 0 : 1)) << "the previous one freed";
    jstring back = RC(getValueByBStrPtr)(env, nullptr, cell_);
    if (c.null) {
      EXPECT_EQ(back, nullptr);
    } else {
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(java_text(env, back), c.text);
    }
  }
}

TEST_F(RefContainerTest, ObjectCellHoldsAGlobalReferenceUntilOverwritten) {
  jobject first = java_string(env, u"first");
  RC(setValueForObject)(env, nullptr, cell_, first);
  const jobject held = *ov_from_handle<jobject>(cell_);
  EXPECT_EQ(env->GetObjectRefType(held), JNIGlobalRefType);
  env->DeleteLocalRef(first);  // the cell keeps the object alive on its own

  jobject read = RC(getValueByObject)(env, nullptr, cell_);
  EXPECT_EQ(env->GetObjectRefType(read), JNILocalRefType);
  EXPECT_EQ(java_to_string(env, read), "first");

  RC(setValueForObject)(env, nullptr, cell_, java_string(env, u"second"));
  EXPECT_NE(*ov_from_handle<jobject>(cell_), nullptr);
  EXPECT_EQ(java_to_string(env, RC(getValueByObject)(env, nullptr, cell_)), "second");
  RC(setValueForObject)(env, nullptr, cell_, nullptr);
  EXPECT_EQ(*ov_from_handle<jobject>(cell_), nullptr);
  EXPECT_EQ(RC(getValueByObject)(env, nullptr, cell_), nullptr);
}

TEST_F(RefContainerTest, CallocRefusesNegativeAndHugeSizes) {
  for (jint size : {-1, -8, kOvMaxCellBytes + 1, 0x7FFFFFFF}) {
    SCOPED_TRACE(size);
    EXPECT_EQ(RC(calloc)(env, nullptr, size), 0);
  }
  RC(free)(env, nullptr, 0);  // does nothing
}

}  // namespace
