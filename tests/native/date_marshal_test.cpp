// Dates both ways under a fixed default time zone: the shared calendar of the
// class cache is refilled after TimeZone.setDefault.
#include <string>

#include "marshal/java_to_variant.h"
#include "marshal/variant_to_java.h"
#include "tests/native/java_values.h"
#include "tests/native/jvm_harness.h"

namespace {

class DateMarshalTest : public JvmTest {
 protected:
  void SetUp() override {
    JvmTest::SetUp();
    jclass tz = ov_test_find_class(env, "java/util/TimeZone");
    jobject previous = env->CallStaticObjectMethod(
        tz, env->GetStaticMethodID(tz, "getDefault", "()Ljava/util/TimeZone;"));
    ov_test_expect_no_exception(env, "TimeZone.getDefault");
    previous_ = env->NewGlobalRef(previous);
    jmethodID get_time_zone =
        env->GetStaticMethodID(tz, "getTimeZone", "(Ljava/lang/String;)Ljava/util/TimeZone;");
    jobject zone =
        env->CallStaticObjectMethod(tz, get_time_zone, env->NewStringUTF("America/New_York"));
    ov_test_expect_no_exception(env, "TimeZone.getTimeZone");
    set_default(zone);
  }
  void TearDown() override {
    set_default(previous_);
    env->DeleteGlobalRef(previous_);
    JvmTest::TearDown();
  }

  // A Date for the wall-clock time in the default zone (month from 1).
  jobject local_date(int year, int month, int day, int hour, int minute, int second) {
    jobject calendar = java_new(env, "java/util/GregorianCalendar", "(IIIIII)V", year, month - 1,
                                day, hour, minute, second);
    return java_call(env, calendar, "getTime", "()Ljava/util/Date;");
  }

 private:
  void set_default(jobject zone) {
    jclass tz = ov_test_find_class(env, "java/util/TimeZone");
    env->CallStaticVoidMethod(
        tz, env->GetStaticMethodID(tz, "setDefault", "(Ljava/util/TimeZone;)V"), zone);
    ov_test_expect_no_exception(env, "TimeZone.setDefault");
    call_com_service("_initialize");    // a fresh shared calendar in that zone
    call_com_service("_uninitialize");  // balance the extra initialisation
  }

  jobject previous_ = nullptr;
};

TEST_F(DateMarshalTest, WallClockTimeInTheDefaultZoneBothWays) {
  const struct {
    const char* name;
    int y, mo, d, h, mi, s;
    DATE ole;
  } cases[] = {
      {"day zero", 1899, 12, 30, 0, 0, 0, 0.0},
      {"15 March 2001 10:20:30", 2001, 3, 15, 10, 20, 30, 36965.0 + 37230.0 / 86400.0},
      {"summer time", 2001, 7, 1, 12, 0, 0, 37073.5},
      {"1 January 100", 100, 1, 1, 0, 0, 0, -657434.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    jobject date = local_date(c.y, c.mo, c.d, c.h, c.mi, c.s);
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(ov_java_to_variant(env, date, &v), 1) << ov_test_take_exception(env);
    EXPECT_EQ(v.vt, VT_DATE);
    EXPECT_NEAR(v.date, c.ole, 1e-9);

    v.date = c.ole;
    jobject back = ov_variant_to_java(env, nullptr, &v);
    ASSERT_EQ(ov_test_take_exception(env), "");
    EXPECT_EQ(java_class_name(env, back), "java.util.Date");
    jclass object = ov_test_find_class(env, "java/lang/Object");
    const jboolean same = env->CallBooleanMethod(
        date, env->GetMethodID(object, "equals", "(Ljava/lang/Object;)Z"), back);
    ov_test_expect_no_exception(env, "Date.equals");
    EXPECT_TRUE(same) << java_to_string(env, date) << " vs " << java_to_string(env, back);
  }
}

TEST_F(DateMarshalTest, DatesOutsideTheOleRangeAreRefused) {
  for (int year : {10000, 99}) {
    SCOPED_TRACE(year);
    jobject date = local_date(year, 1, 1, 0, 0, 0);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(ov_java_to_variant(env, date, &v), 0);
    const std::string thrown = ov_test_take_exception(env);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(thrown, "com.qel.vandrel.com.win32.DispatchException: The date " +
                          java_to_string(env, date) +
                          " is outside the range of the OLE date type.");
  }
}

TEST_F(DateMarshalTest, OleDatesThePlatformCannotSplitGiveNull) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DATE;
  v.date = 3e6;  // beyond 31 December 9999
  EXPECT_EQ(ov_variant_to_java(env, nullptr, &v), nullptr);
  EXPECT_EQ(ov_test_take_exception(env), "");
}

}  // namespace
