// Natives of com.qel.vandrel.com.win32.impl.IDispatchImpl: late-bound calls
// on an automation object whose IDispatch handle Java holds. Each throws
// IllegalStateException before the first ComService._initialize, and
// NullPointerException for a 0 handle (runtime/entry.h).
#pragma once

#include <jni.h>

extern "C" {

// DISPIDs of names, sign-extended; null when GetIDsOfNames fails (no
// exception). A null names array or name throws NullPointerException.
JNIEXPORT jlongArray JNICALL Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1getIDsOfNames(
    JNIEnv* env, jobject receiver, jlong dispatch, jobjectArray names, jint lcid);

// Invoke with the arguments in reverse order (the last Java argument is
// rgvarg[0]) and no named arguments; the result converted to Java (wrappers
// made on the receiver). Null with an exception pending on failure.
JNIEXPORT jobject JNICALL Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1invoke(
    JNIEnv* env, jobject receiver, jlong dispatch, jlong dispid, jint lcid, jint flags,
    jobjectArray args);

// Property put with DISPID_PROPERTYPUT as the named argument: flags
// DISPATCH_PROPERTYPUTREF for a Ref cell, DISPATCH_PROPERTYPUT otherwise.
JNIEXPORT jboolean JNICALL Java_com_qel_vandrel_com_win32_impl_IDispatchImpl__1put(
    JNIEnv* env, jobject receiver, jlong dispatch, jlong dispid, jint lcid, jobject value);
}
