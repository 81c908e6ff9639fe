// Java array -> one-dimensional SAFEARRAY in an array VARIANT.
//
// The element type follows from the component class (the row table in
// array_to_safearray.cpp). Primitive arrays are copied in bulk; reference
// arrays element by element through ov_java_to_variant, so an Object[] may mix
// anything ov_java_to_variant accepts, nested arrays included (a Java array
// of arrays becomes a SAFEARRAY of VARIANTs holding array VARIANTs).
#pragma once

#include <jni.h>

#include "marshal/array_nesting.h"
#include "platform/com_platform.h"

// Fills variant with VT_ARRAY | element type and a new SAFEARRAY (lower bound
// 0) holding array's elements. 1 on success; 0 with a Java exception pending,
// variant unchanged and no SAFEARRAY left behind.
int ov_make_array_variant(JNIEnv* env, jobject array, VARIANT* variant);
// The same for an array one level inside outer (null at the top). An array
// nested deeper than kOvMaxArrayNesting levels, or one that is among the
// arrays that contain it, is refused with a DispatchException. Each level
// works in a local reference frame of its own.
int ov_make_array_variant(JNIEnv* env, jobject array, VARIANT* variant,
                          const OvJavaArrayPath* outer);

// The SAFEARRAY element type for a Java component class, or 0 with a
// DispatchException pending for a component no row accepts (char).
VARTYPE ov_array_element_vartype(JNIEnv* env, jclass component);

// Converts every element of the reference array into psa (one dimension,
// lower bound bound.lLbound, bound.cElements elements of element_type). 1, or
// 0 with a Java exception pending. A null element leaves the element at its
// empty value (null string, 0, null pointer, VT_EMPTY).
//
// Elements are stored in place while the data is locked: each converted value
// (a nested array VARIANT, a string, a number) is moved into its slot, never
// copied, so a nesting is converted once per level. An interface pointer
// borrowed from its Java wrapper then gets the array's own reference: the
// AddRefs of one array run in one guarded region after the last element is
// in place; a fault there is a DispatchException "Access Violation". On
// failure psa holds only what it owns, ready to be destroyed.
int ov_put_array_elements(JNIEnv* env, jobjectArray array, const SAFEARRAYBOUND& bound,
                          SAFEARRAY* psa, VARTYPE element_type);
// The same, array being the path's innermost array.
int ov_put_array_elements(JNIEnv* env, jobjectArray array, const SAFEARRAYBOUND& bound,
                          SAFEARRAY* psa, VARTYPE element_type, const OvJavaArrayPath& path);

// Bulk copies of primitive arrays into a SAFEARRAY of the matching element
// type, one member per primitive component: one region read and one pass over
// the locked SAFEARRAY data. 1, or 0 with a Java exception pending.
int ov_copy_primitive_array(JNIEnv* env, jbooleanArray array, SAFEARRAY* psa);
int ov_copy_primitive_array(JNIEnv* env, jbyteArray array, SAFEARRAY* psa);
int ov_copy_primitive_array(JNIEnv* env, jshortArray array, SAFEARRAY* psa);
int ov_copy_primitive_array(JNIEnv* env, jintArray array, SAFEARRAY* psa);
int ov_copy_primitive_array(JNIEnv* env, jlongArray array, SAFEARRAY* psa);
int ov_copy_primitive_array(JNIEnv* env, jfloatArray array, SAFEARRAY* psa);
int ov_copy_primitive_array(JNIEnv* env, jdoubleArray array, SAFEARRAY* psa);
