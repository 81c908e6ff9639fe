// Dates both ways under a fixed default time zone (and, where a test says so,
// a fixed default locale): the shared calendar of the class cache is refilled
// after TimeZone.setDefault / Locale.setDefault.
#include <cstdint>
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
    previous_zone_ = env->NewGlobalRef(
        call_static("java/util/TimeZone", "getDefault", "()Ljava/util/TimeZone;"));
    previous_locale_ =
        env->NewGlobalRef(call_static("java/util/Locale", "getDefault", "()Ljava/util/Locale;"));
    jobject zone =
        call_static("java/util/TimeZone", "getTimeZone", "(Ljava/lang/String;)Ljava/util/TimeZone;",
                    env->NewStringUTF("America/New_York"));
    set_default("java/util/TimeZone", "(Ljava/util/TimeZone;)V", zone);
  }
  void TearDown() override {
    set_default("java/util/Locale", "(Ljava/util/Locale;)V", previous_locale_);
    set_default("java/util/TimeZone", "(Ljava/util/TimeZone;)V", previous_zone_);
    env->DeleteGlobalRef(previous_locale_);
    env->DeleteGlobalRef(previous_zone_);
    JvmTest::TearDown();
  }

  // Locale.setDefault(new Locale(language, country, variant)) and a fresh
  // shared calendar.
  void set_default_locale(const char* language, const char* country, const char* variant) {
    jobject locale = java_new(
        env, "java/util/Locale", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V",
        env->NewStringUTF(language), env->NewStringUTF(country), env->NewStringUTF(variant));
    set_default("java/util/Locale", "(Ljava/util/Locale;)V", locale);
  }

  // A Date for the wall-clock time in the default zone (month from 1), in the
  // proleptic Gregorian calendar; a year below 1 is astronomical (0 is 1 BC).
  jobject local_date(int year, int month, int day, int hour, int minute, int second) {
    jobject calendar = java_new(env, "java/util/GregorianCalendar", "()V");
    jobject beginning = java_new(env, "java/util/Date", "(J)V", jlong{INT64_MIN});
    call(calendar, "setGregorianChange", "(Ljava/util/Date;)V", beginning);
    call(calendar, "clear", "()V");
    if (year < 1) {
      call(calendar, "set", "(II)V", 0, 0);  // ERA = BC
      year = 1 - year;
    }
    call(calendar, "set", "(IIIIII)V", year, month - 1, day, hour, minute, second);
    return java_call(env, calendar, "getTime", "()Ljava/util/Date;");
  }

  bool same_date(jobject a, jobject b) {
    jclass object = ov_test_find_class(env, "java/lang/Object");
    const bool same =
        env->CallBooleanMethod(a, env->GetMethodID(object, "equals", "(Ljava/lang/Object;)Z"), b);
    EXPECT_FALSE(env->ExceptionCheck());
    return same;
  }

  // Both directions for one wall-clock time and its OLE date.
  void expect_both_ways(int y, int mo, int d, int h, int mi, int s, DATE ole) {
    jobject date = local_date(y, mo, d, h, mi, s);
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(ov_java_to_variant(env, date, &v), 1) << ov_test_take_exception(env);
    EXPECT_EQ(v.vt, VT_DATE);
    EXPECT_NEAR(v.date, ole, 1e-9);

    v.date = ole;
    jobject back = ov_variant_to_java(env, nullptr, &v);
    ASSERT_EQ(ov_test_take_exception(env), "");
    EXPECT_EQ(java_class_name(env, back), "java.util.Date");
    EXPECT_TRUE(same_date(date, back))
        << java_to_string(env, date) << " vs " << java_to_string(env, back);
  }

 private:
  template <class... Args>
  jobject call_static(const char* class_name, const char* name, const char* signature,
                      Args... args) {
    jclass cls = ov_test_find_class(env, class_name);
    jobject result =
        env->CallStaticObjectMethod(cls, env->GetStaticMethodID(cls, name, signature), args...);
    EXPECT_FALSE(env->ExceptionCheck()) << name;
    return result;
  }

  template <class... Args>
  void call(jobject target, const char* name, const char* signature, Args... args) {
    jclass cls = env->GetObjectClass(target);
    env->CallVoidMethod(target, env->GetMethodID(cls, name, signature), args...);
    EXPECT_FALSE(env->ExceptionCheck()) << name;
  }

  void set_default(const char* class_name, const char* signature, jobject value) {
    jclass cls = ov_test_find_class(env, class_name);
    env->CallStaticVoidMethod(cls, env->GetStaticMethodID(cls, "setDefault", signature), value);
    ASSERT_FALSE(env->ExceptionCheck());
    call_com_service("_initialize");  // a fresh shared calendar for that default
    ASSERT_EQ(ov_test_take_exception(env), "");
    call_com_service("_uninitialize");  // balance the extra initialisation
    ASSERT_EQ(ov_test_take_exception(env), "");
  }

  jobject previous_zone_ = nullptr;
  jobject previous_locale_ = nullptr;
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
      // Before the Gregorian reform the Java calendar would count in Julian
      // dates, days away from the OLE date's (proleptic Gregorian) ones.
      {"1 January 1000", 1000, 1, 1, 0, 0, 0, -328716.0},
      {"10 October 1582, in the reform's gap", 1582, 10, 10, 0, 0, 0, -115863.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    expect_both_ways(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ole);
  }
}

TEST_F(DateMarshalTest, DefaultLocalesWithOtherCalendarsStillCountGregorianYears) {
  const struct {
    const char* language;
    const char* country;
    const char* variant;
  } locales[] = {
      {"th", "TH", ""},    // Buddhist calendar: 2001 is 2544
      {"ja", "JP", "JP"},  // Japanese imperial calendar: 2001 is Heisei 13
  };
  for (const auto& l : locales) {
    SCOPED_TRACE(std::string(l.language) + "_" + l.country + "_" + l.variant);
    set_default_locale(l.language, l.country, l.variant);
    expect_both_ways(2001, 3, 15, 10, 20, 30, 36965.0 + 37230.0 / 86400.0);
    expect_both_ways(100, 1, 1, 0, 0, 0, -657434.0);
  }
}

TEST_F(DateMarshalTest, DatesOutsideTheOleRangeAreRefused) {
  // 0 is 1 BC and -499 is 500 BC: a date before the Christian era is refused
  // like any other date out of range, not taken for the same year AD.
  for (int year : {10000, 99, 0, -499}) {
    SCOPED_TRACE(year);
    jobject date = local_date(year, 1, 1, 0, 0, 0);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(ov_java_to_variant(env, date, &v), 0);
    EXPECT_EQ(v.vt, VT_EMPTY);
    const std::string thrown = ov_test_take_exception(env);
    EXPECT_EQ(thrown, "com.qel.vandrel.com.win32.DispatchException: The date " +
                          java_to_string(env, date) +
                          " is outside the range of the OLE date type.");
  }
}

TEST_F(DateMarshalTest, ARefusedDateBeforeTheChristianEraLeavesLaterDatesAlone) {
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(ov_java_to_variant(env, local_date(-499, 6, 1, 12, 0, 0), &v), 0);
  ov_test_take_exception(env);
  // The next use of the calendar reads an OLE date: it must not inherit the
  // era of the refused date.
  v.vt = VT_DATE;
  v.date = 36965.0 + 37230.0 / 86400.0;
  jobject back = ov_variant_to_java(env, nullptr, &v);
  ASSERT_EQ(ov_test_take_exception(env), "");
  jobject expected = local_date(2001, 3, 15, 10, 20, 30);
  EXPECT_TRUE(same_date(expected, back))
      << java_to_string(env, expected) << " vs " << java_to_string(env, back);
}

TEST_F(DateMarshalTest, WallClockTimesTheZoneRepeatsOrSkipsGiveTheLaterInstant) {
  const struct {
    const char* name;
    DATE ole;
    jlong utc_millis;
  } cases[] = {
      // 7 November 2021, 01:30 New York: first in summer time (05:30 UTC),
      // then in standard time (06:30 UTC).
      {"repeated 01:30", 44507 + 1.5 / 24, 1636266600000},
      // 14 March 2021, 02:30 New York does not exist: read as 03:30 summer time.
      {"skipped 02:30", 44269 + 2.5 / 24, 1615707000000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DATE;
    v.date = c.ole;
    jobject back = ov_variant_to_java(env, nullptr, &v);
    ASSERT_EQ(ov_test_take_exception(env), "");
    jclass date = ov_test_find_class(env, "java/util/Date");
    const jlong millis = env->CallLongMethod(back, env->GetMethodID(date, "getTime", "()J"));
    ov_test_expect_no_exception(env, "Date.getTime");
    EXPECT_EQ(millis, c.utc_millis) << java_to_string(env, back);
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
