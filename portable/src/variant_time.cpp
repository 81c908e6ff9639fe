// Conversions between SYSTEMTIME and the OLE Automation DATE.
#include <cmath>
#include <cstdint>

#include "oleport.h"

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

CivilDate civil_from_days(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

const std::int64_t kDateEpoch = days_from_civil(1899, 12, 30);
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr double kFirstValidDay = -657434.0;  // 0100-01-01
constexpr double kLastValidDay = 2958465.0;   // 9999-12-31

}  // namespace

INT WINAPI SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime) {
  if (lpSystemTime == nullptr || pvtime == nullptr) return FALSE;
  const SYSTEMTIME& st = *lpSystemTime;
  if (st.wMonth > 12 || st.wDay > 31 || st.wYear > 9999) return FALSE;
  // Two-digit years follow the default 2049 window.
  std::int64_t year = st.wYear;
  if (year < 50) {
    year += 2000;
  } else if (year < 100) {
    year += 1900;
  }
  unsigned month = st.wMonth;
  if (month == 0) {  // month 0 is December of the year before
    month = 12;
    --year;
  }
  std::int64_t days = days_from_civil(year, month, 1) - kDateEpoch + st.wDay - 1;
  const std::int64_t seconds =
      std::int64_t{st.wHour} * 3600 + std::int64_t{st.wMinute} * 60 + std::int64_t{st.wSecond};
  days += seconds / kSecondsPerDay;
  const double fraction =
      static_cast<double>(seconds % kSecondsPerDay) / static_cast<double>(kSecondsPerDay);
  const double whole = static_cast<double>(days);
  // The fraction runs forward from midnight even before 1899-12-30.
  *pvtime = days >= 0 ? whole + fraction : whole - fraction;
  return TRUE;
}

INT WINAPI VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime) {
  if (lpSystemTime == nullptr) return FALSE;
  if (!(vtime > kFirstValidDay - 1.0 && vtime < kLastValidDay + 1.0)) return FALSE;
  const double whole = std::trunc(vtime);
  std::int64_t day = static_cast<std::int64_t>(whole);
  std::int64_t seconds = std::llround(std::fabs(vtime - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    seconds -= kSecondsPerDay;
    ++day;
  }
  // A time that rounds past 9999-12-31 23:59:59 is refused (as on Windows),
  // not turned into year 10000.
  if (static_cast<double>(day) > kLastValidDay) return FALSE;
  const CivilDate date = civil_from_days(day + kDateEpoch);
  SYSTEMTIME& st = *lpSystemTime;
  st.wYear = static_cast<WORD>(date.year);
  st.wMonth = static_cast<WORD>(date.month);
  st.wDay = static_cast<WORD>(date.day);
  // 1899-12-30 was a Saturday (6).
  st.wDayOfWeek = static_cast<WORD>(((day + 6) % 7 + 7) % 7);
  st.wHour = static_cast<WORD>(seconds / 3600);
  st.wMinute = static_cast<WORD>(seconds / 60 % 60);
  st.wSecond = static_cast<WORD>(seconds % 60);
  st.wMilliseconds = 0;
  return TRUE;
}
