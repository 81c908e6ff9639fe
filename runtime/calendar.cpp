#include "runtime/calendar.h"

#include <mutex>

#include "runtime/class_cache.h"
#include "runtime/errors.h"
#include "runtime/jni_refs.h"

namespace {

std::mutex calendar_mutex;
jobject shared_calendar = nullptr;  // global reference, guarded by calendar_mutex

}  // namespace

int ov_calendar_replace(JNIEnv* env) {
  OvLocalRef<jobject> fresh(
      env, env->CallStaticObjectMethod(ov_cache.calendar, ov_cache.calendarGetInstance));
  if (env->ExceptionCheck()) return 0;
  if (!fresh) {
    ov_throw_java_lang(env, "NullPointerException", "Calendar.getInstance() returned null");
    return 0;
  }
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
  std::lock_guard<std::mutex> lock(calendar_mutex);
  env->CallVoidMethod(shared_calendar, ov_cache.calendarSet6, year, month, day, hour, minute,
                      second);
  if (env->ExceptionCheck()) return nullptr;
  env->CallVoidMethod(shared_calendar, ov_cache.calendarSet2, ov_cache.fieldMillisecond,
                      millisecond);
  if (env->ExceptionCheck()) return nullptr;
  return env->CallObjectMethod(shared_calendar, ov_cache.calendarGetTime);
}

void ov_date_to_fields(JNIEnv* env, jobject date, jint fields[7]) {
  const jint numbers[7] = {ov_cache.fieldYear,       ov_cache.fieldMonth,  ov_cache.fieldDayOfMonth,
                           ov_cache.fieldHourOfDay,  ov_cache.fieldMinute, ov_cache.fieldSecond,
                           ov_cache.fieldMillisecond};
  std::lock_guard<std::mutex> lock(calendar_mutex);
  env->CallVoidMethod(shared_calendar, ov_cache.calendarSetTime, date);
  for (int i = 0; i < 7; ++i) {
    fields[i] = env->ExceptionCheck()
                    ? 0
                    : env->CallIntMethod(shared_calendar, ov_cache.calendarGet, numbers[i]);
  }
}
