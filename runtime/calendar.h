// Dates through the shared java.util.Calendar of the class cache.
//
// The calendar is one mutable Java object used by every date conversion on
// every thread, so each conversion holds the calendar lock from its first
// call on the calendar to its last. Each class-cache fill replaces the
// calendar with a fresh Calendar.getInstance() (picking up the current
// default time zone) under the same lock, and deletes the old global
// reference, which no conversion can then be using.
#pragma once

#include <jni.h>

// Makes a new shared calendar; 1 on success, 0 with the Java exception
// pending (or an OutOfMemoryError for a failed global reference).
int ov_calendar_replace(JNIEnv* env);

// Sets the fields on the shared calendar and returns its getTime(), a new
// local reference (null with an exception pending when Java throws).
jobject ov_fields_to_date(JNIEnv* env, jint year, jint month, jint day, jint hour, jint minute,
                          jint second, jint millisecond);

// Reads year, month, day of month, hour of day, minute, second and
// millisecond of date, in the calendar's own numbering, into fields.
void ov_date_to_fields(JNIEnv* env, jobject date, jint fields[7]);
