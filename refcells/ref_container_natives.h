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
//                    old one deleted) by every store, null included, deleted
//                    by a store of any other kind and by _free; reads return
//                    a new local reference, null for a zeroed cell (fresh, or
//                    its reference set to null), and IllegalStateException
//                    for a cell holding anything else
//   BStrPtr   ptr    a BSTR owned by the cell: every store frees the old one
//                    (or deletes the object reference the cell held); a cell
//                    whose last store was a number or an object reference is
//                    never read or freed as a BSTR (reads throw
//                    IllegalStateException)
//
// Every accessor and _free first looks the address up among the live cells
// (refcells/cell_registry.h) and touches nothing when it is refused:
// 0 gives NullPointerException (except _free(0), which does nothing), an
// address that is no live cell (freed, or never made by _calloc)
// IllegalStateException, an access wider than the cell
// IllegalArgumentException. The Java side sizes cells (8 bytes cover every
// kind) and stores null into BStrPtr cells before freeing them. None of these
// natives needs ComService._initialize.
#pragma once

#include <jni.h>

extern "C" {

// A zero-filled cell of size bytes; 0 when the size is negative, larger than
// a cell can sensibly be (kOvMaxCellBytes), or memory runs out.
JNIEXPORT jlong JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1calloc(JNIEnv*, jclass,
                                                                             jint size);
// Frees a cell (0 does nothing) and the object reference it holds; a BSTR it
// holds is not released.
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
