#include "runtime/calendar.h"

#include <limits>
#include <mutex>

#include "runtime/class_cache.h"
#include "runtime/errors.h"
#include "runtime/jni_refs.h"

namespace {

std::mutex calendar_mutex;
jobject shared_calendar = nullptr;  // global reference, guarded by calendar_mutex

constexpr char kNotInitialised[] =
    "Ostrel32 is not initialised: call ComService.initialize() first";

// The shared calendar, cleared for a new conversion, while the lock is held;
// null with IllegalStateException pending before the first fill.
jobject cleared_calendar(JNIEnv* env) {
  if (shared_calendar == nullptr) {
    ov_throw_java_lang(env, "IllegalStateException", kNotInitialised);
    return nullptr;
  }
  env->CallVoidMethod(shared_calendar, ov_cache.calendarClear);
  return env->ExceptionCheck() ? nullptr : shared_calendar;
}

}  // namespace

int ov_calendar_replace(JNIEnv* env) {
  OvLocalRef<jobject> fresh(
      env, env->NewObject(ov_cache.gregorianCalendar, ov_cache.gregorianCalendarInit));
  if (env->ExceptionCheck()) return 0;
  // Gregorian back to the beginning of time: no Julian calendar before 1582.
  OvLocalRef<jobject> beginning(
      env, env->NewObject(ov_cache.date, ov_cache.dateInit, std::numeric_limits<jlong>::min()));
  if (env->ExceptionCheck()) return 0;
  env->CallVoidMethod(fresh.get(), ov_cache.setGregorianChange, beginning.get());
  if (env->ExceptionCheck()) return 0;
  jobject global = env->NewGlobalRef(fresh.get());
  if (global == nullptr) {
    ov_throw_java_lang(env, "OutOfMemoryError", "no global reference left");
    return 0;
  }
  jobject old;
  {
    std::lock_guard<std::mutex> lock(calendar_mutex);
    old = shared_calendar;
    shared_calendar = global;
  }
  if (old != nullptr) env->DeleteGlobalRef(old);
  return 1;
}

jobject ov_fields_to_date(JNIEnv* env, jint year, jint month, jint day, jint hour, jint minute,
                          jint second, jint millisecond) {
  jlong millis = 0;
  {
    std::lock_guard<std::mutex> lock(calendar_mutex);
    jobject calendar = cleared_calendar(env);
    if (calendar == nullptr) return nullptr;
    env->CallVoidMethod(calendar, ov_cache.calendarSet6, year, month, day, hour, minute, second);
    if (env->ExceptionCheck()) return nullptr;
    env->CallVoidMethod(calendar, ov_cache.calendarSet2, ov_cache.fieldMillisecond, millisecond);
    if (env->ExceptionCheck()) return nullptr;
    millis = env->CallLongMethod(calendar, ov_cache.calendarGetTimeInMillis);
    if (env->ExceptionCheck()) return nullptr;
  }
  return env->NewObject(ov_cache.date, ov_cache.dateInit, millis);
}

void ov_date_to_fields(JNIEnv* env, jobject date, jint fields[7]) {
  for (int i = 0; i < 7; ++i) fields[i] = 0;
  if (ov_cache.dateGetTime == nullptr) {
    ov_throw_java_lang(env, "IllegalStateException", kNotInitialised);
    return;
  }
  const jlong millis = env->CallLongMethod(date, ov_cache.dateGetTime);
  if (env->ExceptionCheck()) return;
  const jint numbers[8] = {ov_cache.fieldYear,        ov_cache.fieldMonth,
                           ov_cache.fieldDayOfMonth,  ov_cache.fieldHourOfDay,
                           ov_cache.fieldMinute,      ov_cache.fieldSecond,
                           ov_cache.fieldMillisecond, ov_cache.fieldEra};
  jint read[8] = {};
  {
    std::lock_guard<std::mutex> lock(calendar_mutex);
    jobject calendar = cleared_calendar(env);
    if (calendar == nullptr) return;
    env->CallVoidMethod(calendar, ov_cache.calendarSetTimeInMillis, millis);
    if (env->ExceptionCheck()) return;
    for (int i = 0; i < 8; ++i) {
      read[i] = env->CallIntMethod(calendar, ov_cache.calendarGet, numbers[i]);
      if (env->ExceptionCheck()) return;
    }
  }
  for (int i = 0; i < 7; ++i) fields[i] = read[i];
  if (read[7] == ov_cache.eraBc) fields[0] = 1 - read[0];
}
