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
jobject ov_safearray_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant);

// Level k (0-based) of a dims-dimensional array: an Object[] of the level
// below, or the typed row at the last level. indices holds one index per
// dimension (entry k pairs with dimension k + 1) and is shared by all levels.
jobject ov_safearray_level_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant, UINT dims,
                                   LONG* indices, UINT k);

// The last level k: a typed Java array of dimension k + 1's elements.
jobject ov_safearray_row_to_java(JNIEnv* env, jobject receiver, const VARIANT* variant,
                                 LONG* indices, UINT k);

// The Java array class with depth dimensions of the element type's
// descriptor ("[[D" for depth 2 of VT_R8). Null without an exception for an
// element type without a descriptor; null with an exception pending when the
// class cannot be found or has more dimensions than a Java array can.
jclass ov_nested_array_class(JNIEnv* env, const VARIANT* variant, UINT depth);
