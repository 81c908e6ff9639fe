// SYSTEMTIME <-> DATE: the epoch, negative dates, the valid range, rounding
// and the fields that are ignored or normalised.
#include "platform_accounting.h"

namespace conformance {
namespace {

struct CalendarTime {
  WORD year, month, day, hour, minute, second;
};

SYSTEMTIME to_system_time(const CalendarTime& t, WORD milliseconds = 0) {
  SYSTEMTIME st{};
  st.wYear = t.year;
  st.wMonth = t.month;
  st.wDay = t.day;
  st.wHour = t.hour;
  st.wMinute = t.minute;
  st.wSecond = t.second;
  st.wMilliseconds = milliseconds;
  return st;
}

constexpr double kSecond = 1.0 / 86400.0;

TEST(VariantTimeTest, DatesAndCalendarTimesCorrespond) {
  struct Case {
    double date;
    CalendarTime time;
    WORD day_of_week;
  };
  const Case cases[] = {
      {0.0, {1899, 12, 30, 0, 0, 0}, 6},
      {1.0, {1899, 12, 31, 0, 0, 0}, 0},
      {1.5, {1899, 12, 31, 12, 0, 0}, 0},
      {-1.0, {1899, 12, 29, 0, 0, 0}, 5},
      // The fraction runs forward from midnight even for negative dates.
      {-1.25, {1899, 12, 29, 6, 0, 0}, 5},
      {-1.75, {1899, 12, 29, 18, 0, 0}, 5},
      {36965.0 + (10 * 3600 + 20 * 60 + 30) * kSecond, {2001, 3, 15, 10, 20, 30}, 4},
      {-657434.0, {100, 1, 1, 0, 0, 0}, 5},
      {-657434.5, {100, 1, 1, 12, 0, 0}, 5},
      {2958465.0, {9999, 12, 31, 0, 0, 0}, 5},
      {2958465.0 + 86399 * kSecond, {9999, 12, 31, 23, 59, 59}, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "date " << c.date);
    SYSTEMTIME st{};
    st.wMilliseconds = 77;
    ASSERT_TRUE(VariantTimeToSystemTime(c.date, &st));
    EXPECT_EQ(st.wYear, c.time.year);
    EXPECT_EQ(st.wMonth, c.time.month);
    EXPECT_EQ(st.wDay, c.time.day);
    EXPECT_EQ(st.wHour, c.time.hour);
    EXPECT_EQ(st.wMinute, c.time.minute);
    EXPECT_EQ(st.wSecond, c.time.second);
    EXPECT_EQ(st.wMilliseconds, 0);
    EXPECT_EQ(st.wDayOfWeek, c.day_of_week);

    SYSTEMTIME back = to_system_time(c.time);
    double date = -1e9;
    ASSERT_TRUE(SystemTimeToVariantTime(&back, &date));
    EXPECT_NEAR(date, c.date, 1e-9);
  }
}

TEST(VariantTimeTest, DatesOutsideYears100To9999AreRefused) {
  const double refused[] = {-657435.0, -657435.5, 2958466.0, 3e6, -1e7};
  for (double date : refused) {
    SCOPED_TRACE(testing::Message() << "date " << date);
    SYSTEMTIME st{};
    st.wYear = 1234;
    EXPECT_FALSE(VariantTimeToSystemTime(date, &st));
    EXPECT_EQ(st.wYear, 1234) << "output untouched";
  }
  SYSTEMTIME too_late = to_system_time({10000, 1, 1, 0, 0, 0});
  double date = 0;
  EXPECT_FALSE(SystemTimeToVariantTime(&too_late, &date));
}

TEST(VariantTimeTest, ATimeRoundingPastTheLastSecondIsRefused) {
  SYSTEMTIME st{};
  // 23:59:59.136 of the last day rounds down and stays in range.
  ASSERT_TRUE(VariantTimeToSystemTime(2958465.99999, &st));
  EXPECT_EQ(st.wYear, 9999);
  EXPECT_EQ(st.wDay, 31);
  EXPECT_EQ(st.wSecond, 59);
  // 23:59:59.914 would round into year 10000: Windows refuses it.
  if (running_under_wine()) GTEST_SKIP() << "Wine accepts it as 10000-01-01";
  st.wYear = 1234;
  EXPECT_FALSE(VariantTimeToSystemTime(2958465.999999, &st));
  EXPECT_EQ(st.wYear, 1234) << "output untouched";
}

TEST(VariantTimeTest, TimesAreRoundedToTheNearestSecond) {
  struct Case {
    double date;
    CalendarTime time;
  };
  const double base = 36965.0 + (10 * 3600 + 20 * 60 + 30) * kSecond;
  const Case cases[] = {
      {base + 0.4 * kSecond, {2001, 3, 15, 10, 20, 30}},
      {base + 0.6 * kSecond, {2001, 3, 15, 10, 20, 31}},
      {1.0 - 0.4 * kSecond, {1899, 12, 31, 0, 0, 0}},  // rounds into the next day
      {-1.25 - 0.3 * kSecond, {1899, 12, 29, 6, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "date " << c.date);
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(c.date, &st));
    EXPECT_EQ(st.wDay, c.time.day);
    EXPECT_EQ(st.wHour, c.time.hour);
    EXPECT_EQ(st.wMinute, c.time.minute);
    EXPECT_EQ(st.wSecond, c.time.second);
    EXPECT_EQ(st.wMilliseconds, 0);
  }
}

TEST(VariantTimeTest, MillisecondsAreIgnored) {
  const CalendarTime time{2001, 3, 15, 10, 20, 30};
  SYSTEMTIME whole = to_system_time(time, 0);
  double expected = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&whole, &expected));
  for (WORD ms : {WORD{1}, WORD{499}, WORD{500}, WORD{999}}) {
    SYSTEMTIME st = to_system_time(time, ms);
    double date = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &date));
    EXPECT_EQ(date, expected) << ms << " ms";
  }
}

TEST(VariantTimeTest, FieldsAreNormalisedOrRefused) {
  struct Case {
    const char* name;
    CalendarTime time;
    bool accepted;
    CalendarTime normalised;
  };
  const Case cases[] = {
      {"February 29 of a common year", {2001, 2, 29, 0, 0, 0}, true, {2001, 3, 1, 0, 0, 0}},
      {"day 0", {2001, 3, 0, 0, 0, 0}, true, {2001, 2, 28, 0, 0, 0}},
      {"hour 24", {2001, 1, 1, 24, 0, 0}, true, {2001, 1, 2, 0, 0, 0}},
      {"minute 60", {2001, 1, 1, 0, 60, 0}, true, {2001, 1, 1, 1, 0, 0}},
      {"second 60", {2001, 1, 1, 0, 0, 60}, true, {2001, 1, 1, 0, 1, 0}},
      {"two-digit year 30", {30, 1, 1, 0, 0, 0}, true, {2030, 1, 1, 0, 0, 0}},
      {"two-digit year 49", {49, 6, 1, 0, 0, 0}, true, {2049, 6, 1, 0, 0, 0}},
      {"two-digit year 50", {50, 1, 1, 0, 0, 0}, true, {1950, 1, 1, 0, 0, 0}},
      {"two-digit year 99", {99, 12, 31, 0, 0, 0}, true, {1999, 12, 31, 0, 0, 0}},
      {"month 13", {2001, 13, 1, 0, 0, 0}, false, {}},
      {"day 32", {2001, 1, 32, 0, 0, 0}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SYSTEMTIME st = to_system_time(c.time);
    double date = 0;
    ASSERT_EQ(SystemTimeToVariantTime(&st, &date), c.accepted ? TRUE : FALSE);
    if (!c.accepted) continue;
    SYSTEMTIME expected_st = to_system_time(c.normalised);
    double expected = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&expected_st, &expected));
    EXPECT_NEAR(date, expected, 1e-9);
  }
}

}  // namespace
}  // namespace conformance
