// Java value -> VARIANT, and the one routine that releases the VARIANTs the
// bridge builds or receives.
//
// The VARIANT type follows from the Java class of the value alone (the row
// table in java_to_variant.cpp). What a produced VARIANT holds and who owns it:
//   BSTR, SAFEARRAY            the VARIANT (freed by ov_clear_variant)
//   VT_DISPATCH, VT_UNKNOWN    the Java wrapper: borrowed, no AddRef
//   VT_BYREF cell pointer      the RefContainer cell (never touched)
//   numbers, dates, VT_ERROR   inline
#pragma once

#include <jni.h>

#include "marshal/array_nesting.h"
#include "platform/com_platform.h"

// Fills variant (an initialised, empty VARIANT) from value. 1 on success; 0
// with a Java exception pending and variant's vt unchanged, so clearing it is
// harmless. A null value gives VT_EMPTY; arrays go to ov_make_array_variant.
int ov_java_to_variant(JNIEnv* env, jobject value, VARIANT* variant);
// The same for an element of the array outer (null at the top): an array
// value is converted as one level deeper than outer.
int ov_java_to_variant(JNIEnv* env, jobject value, VARIANT* variant, const OvJavaArrayPath* outer);

// Releases what variant owns. With clear_interfaces false a VARIANT of type
// exactly VT_DISPATCH or VT_UNKNOWN is left alone (its pointer belongs to a
// Java wrapper); everything else is cleared as VariantClear clears it, with
// every release of a foreign object under the access-violation guard
// (runtime/variant_clear.h). Always 1.
int ov_clear_variant(VARIANT* variant, bool clear_interfaces);
// The same, and sets *faulted to true (never to false) when a release inside
// raised an access violation.
int ov_clear_variant(VARIANT* variant, bool clear_interfaces, bool* faulted);

// Stores a java.util.Date as an OLE date: wall-clock time in the shared
// calendar's time zone, in the proleptic Gregorian calendar. 1 on success; 0
// with a DispatchException pending when the date lies outside the range of
// the OLE date type (1 January 100 to 31 December 9999; any date before the
// Christian era is outside it), variant unchanged.
int ov_date_to_variant_time(JNIEnv* env, jobject date, VARIANT* variant);
