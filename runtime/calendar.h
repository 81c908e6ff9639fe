// Dates through the shared calendar of the class cache.
//
// The calendar is one mutable java.util.GregorianCalendar used by every date
// conversion on every thread. It is proleptic (its Gregorian change set to
// the beginning of time, so no Julian dates) and Gregorian whatever the
// default locale (never the Buddhist or Japanese calendar that
// Calendar.getInstance() gives there). Each conversion holds the calendar
// lock from its first call on the calendar to its last, and clear()s the
// calendar first, so no field of an earlier conversion (an era, say) carries
// over. Only JDK code runs under the lock: the time of a Date is read before
// the lock is taken (a Date subclass may run code of its own), and the new
// Date is made after it is released.
//
// Each class-cache fill replaces the calendar with a fresh one (picking up
// the current default time zone) under the same lock, and deletes the old
// global reference, which no conversion can then be using.
//
// Wall-clock times that a time-zone change makes ambiguous or impossible are
// resolved as GregorianCalendar resolves them: the hour that repeats when
// daylight saving time ends gives the later of its two instants (standard
// time), and an hour skipped when it begins gives the instant one
// daylight-saving shift later.
#pragma once

#include <jni.h>

// Makes a new shared calendar; 1 on success, 0 with the Java exception
// pending (or an OutOfMemoryError for a failed global reference).
int ov_calendar_replace(JNIEnv* env);

// Sets the fields on the shared calendar and returns a new Date for the
// instant they name (a new local reference; null with an exception pending
// when Java throws, or with IllegalStateException before the first fill).
jobject ov_fields_to_date(JNIEnv* env, jint year, jint month, jint day, jint hour, jint minute,
                          jint second, jint millisecond);

// Reads year, month, day of month, hour of day, minute, second and
// millisecond of date, in the calendar's own numbering, into fields. A year
// before the Christian era is given in astronomical numbering (1 BC is 0,
// 2 BC is -1), so every year below 1 stands for such a date. When Java throws
// (or before the first fill, IllegalStateException) the fields are 0 and the
// exception is pending.
void ov_date_to_fields(JNIEnv* env, jobject date, jint fields[7]);
