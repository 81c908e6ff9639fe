// Process-wide cache of the Java classes, members and constants every native
// works with. Filled by ov_init_class_cache (ComService._initialize); read by
// every other native without a lock.
//
// A refill keeps the global references it already holds when the lookup
// finds the same class again, so repeated initialisation from many threads
// does not grow the global references; only the shared calendar is replaced
// at every fill (so a changed default time zone is honoured), under the
// calendar lock (runtime/calendar.h). The shared calendar is a proleptic
// GregorianCalendar whatever the default locale; java.util.Calendar and its
// members are looked up all the same, and the calendar is used through them.
#pragma once

#include <jni.h>

#include <atomic>

#include "platform/com_platform.h"

struct OvClassCache {
  JavaVM* vm;

  jclass comService;
  jmethodID internalReleaseIResources;  // static (Ljava/lang/Object;)V
  jmethodID internalGetErrorObject;     // static (I)Ljava/lang/Object;
  jclass missing;
  // The exception classes and their constructors: (String) for failures
  // that have no HRESULT, (String, int) with the HRESULT, and for
  // DISP_E_EXCEPTION (String, int HRESULT, String source, String description,
  // String help file, int help context, int wCode, int scode).
  jclass comException;
  jmethodID comExceptionInit, comExceptionInitCode;
  jclass dispatchException;
  jmethodID dispatchExceptionInit, dispatchExceptionInitCode, dispatchExceptionInitInfo;
  jclass conversionException;         // DispatchVariant2JavaException
  jmethodID conversionExceptionInit;  // (Ljava/lang/String;J)V
  jclass iDispatch;
  jmethodID newIDispatch;
  jclass iUnknown;
  jmethodID newIUnknown;
  // The base class of the wrappers. Its newIDispatch makes the automation
  // wrappers of every wrapper receiver, also of one that is no IDispatch (an
  // enumerator's elements).
  jclass iUnknownImpl;
  jmethodID unknownImplNewIDispatch;
  jclass iOleContainer;
  jclass iEnumUnknown;
  jclass iResource;
  jmethodID getPtr;
  jclass refContainer;
  jclass refString, refByte, refShort, refInt, refLong, refFloat, refDouble;

  jclass object;
  jmethodID toString;
  jclass string;
  jclass booleanClass;
  jmethodID booleanValue, booleanInit;
  jclass byteClass;
  jmethodID byteValue, byteInit;
  jclass shortClass;
  jmethodID shortValue, shortInit;
  jclass integerClass;
  jmethodID intValue, integerInit;
  jclass longClass;
  jmethodID longValue, longInit;
  jclass floatClass;
  jmethodID floatValue, floatInit;
  jclass doubleClass;
  jmethodID doubleValue, doubleInit;
  // The boxes' `value` fields, read without calling into Java (the box
  // classes are final, so the field is what the accessor returns). Null when
  // the running VM's class has no such field: the accessor is called then.
  jfieldID booleanField, byteField, shortField, integerField, longField, floatField, doubleField;
  jclass classClass;
  jmethodID isPrimitive, isArray, getComponentType;
  jclass booleanType, byteType, shortType, intType, longType, floatType, doubleType;

  jclass date;
  jmethodID dateInit;     // (J)V
  jmethodID dateGetTime;  // ()J
  jclass calendar;
  jmethodID calendarGetInstance;  // static
  jmethodID calendarGet;          // (I)I
  jmethodID calendarSet2;         // (II)V
  jmethodID calendarSet6;         // (IIIIII)V
  jmethodID calendarGetTime;
  jmethodID calendarSetTime;
  jmethodID calendarClear;            // ()V
  jmethodID calendarGetTimeInMillis;  // ()J
  jmethodID calendarSetTimeInMillis;  // (J)V
  jclass gregorianCalendar;
  jmethodID gregorianCalendarInit;  // ()V
  jmethodID setGregorianChange;     // (Ljava/util/Date;)V

  // Calendar field numbers as the running VM reports them, and the value of
  // the ERA field for dates before the Christian era (GregorianCalendar.BC).
  jint fieldYear, fieldMonth, fieldDayOfMonth, fieldHourOfDay, fieldMinute, fieldSecond,
      fieldMillisecond, fieldEra, eraBc;
};

extern OvClassCache ov_cache;

// Set by the first fill that completes and never cleared: a later fill that
// fails leaves the entries of the earlier one in place.
extern std::atomic<bool> ov_cache_filled;

// True once the cache may be read (acquire: the entries the completing fill
// wrote are visible with it). The natives' entry reads it before an
// operation that uses the cache (runtime/entry.h).
inline bool ov_cache_ready() {
  return ov_cache_filled.load(std::memory_order_acquire);
}

// Fills every entry in table order; 1 on success, 0 at the first failed
// lookup with the VM's lookup error pending (later entries keep what they
// held).
int ov_init_class_cache(JNIEnv* env);

// FindClass + NewGlobalRef; null when either fails.
jclass ov_find_class_global(JNIEnv* env, const char* name);

// The primitive class in a wrapper class's static TYPE field, as a global
// reference; null when the lookup fails.
jclass ov_primitive_type_class(JNIEnv* env, jclass wrapper);

// The calling thread's environment from the cached VM (JNI 1.2), or null for
// a thread the VM does not know or before the first fill. Never attaches.
JNIEnv* ov_get_env();

// The UTF-16 text of object.toString() in a malloc'ed, zero-terminated
// buffer the caller frees. Null with a Java exception pending when the object
// is null (NullPointerException), toString() throws or returns null, or
// memory runs out (OutOfMemoryError).
OLECHAR* ov_to_wide_string(JNIEnv* env, jobject object);
