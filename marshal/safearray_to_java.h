// SAFEARRAY (in an array VARIANT) -> Java arrays nested one level per
// dimension.
//
// Dimension 1 (SafeArrayGetLBound/UBound numbering) is the outermost Java
// level; Java index i of a level is SAFEARRAY index lb + i of its dimension.
// The innermost arrays are typed by the element type (the row table in
// safearray_to_java.cpp); VARIANT elements go through ov_variant_to_java, so
// arrays of arrays come back as nested Object[]s.
#pragma once

#include <jni.h>

#include "marshal/array_nesting.h"
#include "platform/com_platform.h"

// Java array types have at most this many dimensions.
constexpr UINT kOvMaxJavaArrayDimensions = 255;

// Converts variant (VT_ARRAY set; its SAFEARRAY is only read). Returns a new
// local reference, or null: with a DispatchVariant2JavaException or JVM
// exception pending on failure, without one for the silent cases (a failed
// number or string element read, an unsupported element type of a
// multi-dimensional array). When a conversion fails half-way, the Java
// wrappers already made are released through
// ComService.internalReleaseIResources, with the failure held aside meanwhile.
//
// The array stays locked for the whole conversion and its elements are read
// where they lie: a row of numbers is stored into its Java array with one
// region store (gathered into a buffer first when the row is strided, as the
// rows of a multi-dimensional array are; the rows of a level are gathered
// several at a time), strings are copied straight from the BSTRs, a nested
// array in a VARIANT element is converted in place, once, and an interface
// element gets an AddRef of its own (under the access-violation guard) for
// the wrapper that takes it over. An array that cannot be locked is read
// element by element with SafeArrayGetElement, with the same results. An
// array whose element size or kind (FADF_BSTR, FADF_VARIANT, none for
// numbers) is not that of the VARIANT's element type, or that has elements
// but no data, is refused with a DispatchVariant2JavaException. The classes
// of the nested levels are looked up once per conversion. Each Java array
// level is built in a local reference frame of its own.
jobject ov_safearray_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant);
// The same for an array that lies outer_levels Java array levels deep (in an
// element of a VARIANT array). Refused with a DispatchVariant2JavaException,
// no VARIANT attached, when its dimensions would take the nesting past
// kOvMaxArrayNesting levels.
jobject ov_safearray_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant,
                             int outer_levels);

// Level k (0-based) of a dims-dimensional array: an Object[] of the level
// below, or the typed row at the last level. indices holds one index per
// dimension (entry k pairs with dimension k + 1) and is shared by all levels.
jobject ov_safearray_level_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant, UINT dims,
                                   LONG* indices, UINT k);
// The same for an array outer_levels levels deep (see ov_safearray_to_java).
jobject ov_safearray_level_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant, UINT dims,
                                   LONG* indices, UINT k, int outer_levels);

// The last level k: a typed Java array of dimension k + 1's elements.
jobject ov_safearray_row_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant,
                                 LONG* indices, UINT k);
jobject ov_safearray_row_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant,
                                 LONG* indices, UINT k, int outer_levels);

// The Java array class with depth dimensions of the element type's
// descriptor ("[[D" for depth 2 of VT_R8). Null without an exception for an
// element type without a descriptor; null with an exception pending when the
// class cannot be found or has more dimensions than a Java array can.
jclass ov_nested_array_class(JNIEnv* env, const VARIANT* variant, UINT depth);
