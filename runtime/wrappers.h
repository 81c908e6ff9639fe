// Crossing between Java objects and native values: wrapping interface
// pointers in Java IDispatch/IUnknown objects, reading a pointer back out of
// a Java resource, GUIDs from two longs, and the two static service methods
// of ComService.
//
// The wrapping operations do not AddRef: the reference the caller holds
// passes to the new Java object. They call the factory methods newIDispatch
// and newIUnknown on the receiver, the Java object (or class) whose native
// method is running.
#pragma once

#include <jni.h>

#include <atomic>

#include "platform/com_platform.h"

// Data1 from bits 63..32 of high, Data2 from 31..16, Data3 from 15..0; Data4[i]
// from bits (63 - 8i)..(56 - 8i) of low.
void ov_guid_from_longs(jlong high, jlong low, GUID* guid);

// False when either reference is null, else IsSameObject.
bool ov_is_same_object(JNIEnv* env, jobject a, jobject b);

// IResource.getPtr() of object; 0 with NullPointerException pending for null.
jlong ov_get_resource_ptr(JNIEnv* env, jobject object);

// ComService.internalReleaseIResources(object); null does nothing.
void ov_release_iresources(JNIEnv* env, jobject object);

// ComService.internalGetErrorObject(scode).
jobject ov_get_error_object(JNIEnv* env, SCODE scode);

// A Java IDispatch wrapper for p, made by receiver.newIDispatch. Null for a
// null pointer, without touching the release queue; otherwise the queue is
// drained first.
jobject ov_new_idispatch_object(JNIEnv* env, jobject receiver, IDispatch* p);

// A Java IUnknown wrapper for p, made by receiver.newIUnknown, after draining
// the release queue; null for a null pointer.
jobject ov_new_iunknown_object(JNIEnv* env, jobject receiver, IUnknown* p);

// The factory methods of the event sink's Java Handler class, which makes
// the wrappers of event arguments without being a wrapper itself; set by the
// first Handler._createHandler. A receiver that is not an IDispatch
// (IUnknown) wrapper gets its wrappers through these.
extern std::atomic<jmethodID> ov_handler_new_idispatch_method;
extern std::atomic<jmethodID> ov_handler_new_iunknown_method;
