// VARIANT -> Java value: the one road by which what COM hands back reaches
// Java (call results, event arguments, elements of VARIANT arrays).
//
// Scalars become new boxed objects (the constructor table in
// variant_to_java.cpp), strings Strings, dates java.util.Dates, interface
// pointers Java wrappers made on the receiver, arrays Java arrays (through
// ov_safearray_to_java). Everything else is refused with a
// DispatchVariant2JavaException that carries a copy of the VARIANT.
#pragma once

#include <jni.h>

#include "platform/com_platform.h"

// Returns a new local reference or null. Null without an exception pending is
// a legitimately null value (VT_EMPTY, VT_NULL, a null interface pointer, a
// date the platform cannot split); null with one pending is a refusal. The
// VARIANT is only read. An interface pointer passes to the new wrapper
// without AddRef: the caller then clears the VARIANT with
// ov_clear_variant(variant, false).
jobject ov_variant_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant);
// The same for a value that lies outer_levels Java array levels deep (an
// element of a VARIANT array): an array value adds its levels to those, and
// the whole nesting may be at most kOvMaxArrayNesting levels deep.
jobject ov_variant_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant, int outer_levels);

// A java.util.Date for an OLE date read as wall-clock time in the shared
// calendar's time zone (proleptic Gregorian); null (no exception) when the
// platform cannot split the date. A wall-clock time that occurs twice (the
// hour repeated when daylight saving time ends) gives the later instant.
jobject ov_variant_time_to_date(JNIEnv* env, DATE date);
