// Natives of com.qel.vandrel.com.win32.RefContainer: by-reference cells, small
// zero-filled native blocks whose address a COM call receives in a VT_BYREF
// VARIANT, read and written as one of eleven value kinds. Every accessor
// works at the start of the cell in the platform's (little-endian) byte order.
//
//   kind      bytes  content
//   Boolean   1      one byte, read back unchanged (0xFF stays 0xFF)
//   Byte      1      signed 8-bit (an unsigned byte to a VT_UI1 callee)
//   Short     2      signed 16-bit
//   Int       4      signed 32-bit
//   Long      8      signed 64-bit
//   Float     4      IEEE single
//   Double    8      IEEE double
//   IUnknown  8      an interface pointer (no AddRef/Release)
//   VoidPtr   8      an address
//   Object    ptr    a JNI global reference owned by the cell: replaced (the
//                    old one deleted) by every store, null included; reads
//                    return a new local reference
//   BStrPtr   ptr    a BSTR owned by the cell: every store frees the old one
//
// The natives check nothing about the address beyond what the kind needs;
// the Java side keeps cells alive and sized (8 bytes cover every kind) and
// stores null into Object and BStrPtr cells before freeing them.
#pragma once

#include <jni.h>

extern "C" {

// A zero-filled cell of size bytes; 0 when the size is negative, larger than
// a cell can sensibly be (kOvMaxCellBytes), or memory runs out.
JNIEXPORT jlong JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1calloc(JNIEnv*, jclass,
                                                                             jint size);
// Frees a cell (0 does nothing); what the cell holds is not released.
JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1free(JNIEnv*, jclass,
                                                                          jlong address);

#define OV_REF_CONTAINER_ACCESSORS(Kind, JType)                                           \
  JNIEXPORT JType JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1getValueBy##Kind( \
      JNIEnv*, jclass, jlong address);                                                    \
  JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1setValueFor##Kind( \
      JNIEnv*, jclass, jlong address, JType value);

OV_REF_CONTAINER_ACCESSORS(Boolean, jboolean)
OV_REF_CONTAINER_ACCESSORS(Byte, jbyte)
OV_REF_CONTAINER_ACCESSORS(Short, jshort)
OV_REF_CONTAINER_ACCESSORS(Int, jint)
OV_REF_CONTAINER_ACCESSORS(Long, jlong)
OV_REF_CONTAINER_ACCESSORS(Float, jfloat)
OV_REF_CONTAINER_ACCESSORS(Double, jdouble)
OV_REF_CONTAINER_ACCESSORS(IUnknown, jlong)
OV_REF_CONTAINER_ACCESSORS(VoidPtr, jlong)
OV_REF_CONTAINER_ACCESSORS(Object, jobject)
OV_REF_CONTAINER_ACCESSORS(BStrPtr, jstring)

#undef OV_REF_CONTAINER_ACCESSORS
}

// Largest cell _calloc hands out.
constexpr jint kOvMaxCellBytes = 64 * 1024;
