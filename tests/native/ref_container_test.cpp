// RefContainer natives: the layout of the numeric kinds, the boolean byte,
// string cells, the Object cell's global reference, and the addresses the
// natives refuse.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "oleport_testing.h"
#include "refcells/cell_registry.h"
#include "refcells/ref_container_natives.h"
#include "tests/native/cell_accessors.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

#define RC(name) OV_RC(name)

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

std::string hex(jlong address) {
  char text[32];
  std::snprintf(text, sizeof text, "%#llx", static_cast<unsigned long long>(address));
  return text;
}

std::string not_live(jlong address) {
  return "java.lang.IllegalStateException: " + hex(address) +
         " is not a live cell (freed, or not made by RefContainer._calloc)";
}

TEST_F(RefContainerTest, AddressesThatAreNoLiveCellAreRefusedUntouched) {
  const jlong freed = RC(calloc)(env, nullptr, 8);
  RC(free)(env, nullptr, freed);
  // Memory of the process that no _calloc made, and the inside of a cell.
  unsigned char foreign_block[16];
  std::memset(foreign_block, 0xAB, sizeof foreign_block);
  const jlong foreign = ov_to_handle(foreign_block);
  const struct {
    const char* name;
    jlong address;
    std::string thrown;
  } cases[] = {
      {"0", 0, "java.lang.NullPointerException: the cell address is 0"},
      {"freed", freed, not_live(freed)},
      {"foreign", foreign, not_live(foreign)},
      {"inside a cell", cell_ + 1, not_live(cell_ + 1)},
  };
  RC(setValueForLong)(env, nullptr, cell_, 0x0102030405060708LL);
  for (const auto& c : cases) {
    for (const CellAccessor& accessor : cell_accessors()) {
      SCOPED_TRACE(std::string(c.name) + " " + accessor.name);
      accessor.call(env, c.address);
      EXPECT_EQ(ov_test_take_exception(env), c.thrown);
    }
  }
  for (unsigned char byte : foreign_block) EXPECT_EQ(byte, 0xAB);
  EXPECT_EQ(RC(getValueByLong)(env, nullptr, cell_), 0x0102030405060708LL);

  // _free refuses the same addresses, except 0, which it ignores.
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RC(free)(env, nullptr, c.address);
    EXPECT_EQ(ov_test_take_exception(env), c.address == 0 ? "" : c.thrown);
  }
  EXPECT_EQ(RC(getValueByLong)(env, nullptr, cell_), 0x0102030405060708LL) << "still live";
}

TEST_F(RefContainerTest, AccessesWiderThanTheCellAreRefused) {
  for (jint size : {0, 1, 4}) {
    const jlong small = RC(calloc)(env, nullptr, size);
    ASSERT_NE(small, 0);
    for (const CellAccessor& accessor : cell_accessors()) {
      SCOPED_TRACE(std::to_string(size) + " bytes, " + accessor.name);
      accessor.call(env, small);
      EXPECT_EQ(ov_test_take_exception(env),
                accessor.bytes <= static_cast<std::size_t>(size)
                    ? ""
                    : "java.lang.IllegalArgumentException: the cell at " + hex(small) + " has " +
                          std::to_string(size) + " bytes, too few for a " + accessor.kind +
                          " value (" + std::to_string(accessor.bytes) + ")");
    }
    RC(free)(env, nullptr, small);
  }
}

TEST_F(RefContainerTest, ObjectReadOfACellThatHoldsNoReferenceIsRefused) {
  RC(setValueForInt)(env, nullptr, cell_, 5);
  EXPECT_EQ(RC(getValueByObject)(env, nullptr, cell_), nullptr);
  EXPECT_EQ(ov_test_take_exception(env), "java.lang.IllegalStateException: the cell at " +
                                             hex(cell_) + " holds no object reference");
  RC(setValueForObject)(env, nullptr, cell_, java_string(env, u"held"));
  EXPECT_EQ(RC(getValueByBStrPtr)(env, nullptr, cell_), nullptr);
  EXPECT_EQ(ov_test_take_exception(env), "java.lang.IllegalStateException: the cell at " +
                                             hex(cell_) +
                                             " holds an object reference, not a string");
  RC(setValueForObject)(env, nullptr, cell_, nullptr);
  EXPECT_EQ(RC(getValueByObject)(env, nullptr, cell_), nullptr) << "zeroed: null";
  EXPECT_EQ(ov_test_take_exception(env), "");
  // A number is no reference, 0 included.
  RC(setValueForLong)(env, nullptr, cell_, 0);
  EXPECT_EQ(RC(getValueByObject)(env, nullptr, cell_), nullptr);
  EXPECT_EQ(ov_test_take_exception(env), "java.lang.IllegalStateException: the cell at " +
                                             hex(cell_) + " holds no object reference");
}

// Whether the object a weak global reference names has been collected, after
// a few collections.
bool collected(JNIEnv* env, jweak weak) {
  jclass system = ov_test_find_class(env, "java/lang/System");
  jmethodID gc = env->GetStaticMethodID(system, "gc", "()V");
  for (int i = 0; i < 20 && !env->IsSameObject(weak, nullptr); ++i) {
    env->CallStaticVoidMethod(system, gc);
    EXPECT_FALSE(env->ExceptionCheck());
  }
  env->DeleteLocalRef(system);
  return env->IsSameObject(weak, nullptr) == JNI_TRUE;
}

TEST_F(RefContainerTest, AnObjectCellLetsItsReferentGoWhenFreedOrOverwritten) {
  enum After { kFree, kFreeString, kFreed };  // what the row leaves to clean up
  const struct {
    const char* name;
    std::function<void(jlong)> act;
    bool referent_collected;
    After after;
  } cases[] = {
      {"nothing: the cell keeps its referent", [](jlong) {}, false, kFree},
      {"_free",
       [&](jlong c) {
         RC(free)
         (env, nullptr, c);
       },
       true, kFreed},
      {"_setValueForObject null",
       [&](jlong c) {
         RC(setValueForObject)
         (env, nullptr, c, nullptr);
       },
       true, kFree},
      {"_setValueForInt",
       [&](jlong c) {
         RC(setValueForInt)
         (env, nullptr, c, 7);
       },
       true, kFree},
      {"_setValueForBoolean",
       [&](jlong c) {
         RC(setValueForBoolean)
         (env, nullptr, c, JNI_TRUE);
       },
       true, kFree},
      {"_setValueForBStrPtr",
       [&](jlong c) {
         RC(setValueForBStrPtr)
         (env, nullptr, c, java_string(env, u"s"));
       },
       true, kFreeString},
  };
  jclass object_class = ov_test_find_class(env, "java/lang/Object");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const jlong cell = RC(calloc)(env, nullptr, 8);
    jobject referent = env->AllocObject(object_class);
    jweak weak = env->NewWeakGlobalRef(referent);
    RC(setValueForObject)(env, nullptr, cell, referent);
    env->DeleteLocalRef(referent);
    c.act(cell);
    EXPECT_EQ(ov_test_take_exception(env), "");
    EXPECT_EQ(collected(env, weak), c.referent_collected);
    env->DeleteWeakGlobalRef(weak);
    if (c.after == kFreeString) RC(setValueForBStrPtr)(env, nullptr, cell, nullptr);
    if (c.after != kFreed) RC(free)(env, nullptr, cell);
    EXPECT_EQ(ov_test_take_exception(env), "");
  }
  env->DeleteLocalRef(object_class);
}

TEST_F(RefContainerTest, AStringReadOrWriteNeverTakesANumberForABstr) {
  RC(setValueForVoidPtr)(env, nullptr, cell_, 0x1234);
  EXPECT_EQ(RC(getValueByBStrPtr)(env, nullptr, cell_), nullptr);
  EXPECT_EQ(ov_test_take_exception(env), "java.lang.IllegalStateException: the cell at " +
                                             hex(cell_) + " holds a number, not a string");
  RC(setValueForBStrPtr)(env, nullptr, cell_, java_string(env, u"replaces the number"));
  EXPECT_EQ(ov_test_take_exception(env), "");
  EXPECT_EQ(java_text(env, RC(getValueByBStrPtr)(env, nullptr, cell_)), u"replaces the number");
  RC(setValueForBStrPtr)(env, nullptr, cell_, nullptr);
}

TEST_F(RefContainerTest, FreeingTwiceIsRefusedAndTheRegistryForgetsFreedCells) {
  const std::size_t live = ov_cell_count();
  const jlong cell = RC(calloc)(env, nullptr, 8);
  EXPECT_EQ(ov_cell_count(), live + 1);
  RC(free)(env, nullptr, cell);
  EXPECT_EQ(ov_test_take_exception(env), "");
  RC(free)(env, nullptr, cell);
  EXPECT_EQ(ov_test_take_exception(env), not_live(cell));
  EXPECT_EQ(ov_cell_count(), live);
}

}  // namespace
