// jni_md.h for Windows builds made with a non-Windows JDK: stdcall natives,
// 32-bit jint and 64-bit jlong on both pointer widths.
//
// On 32-bit Windows the natives are exported under their decorated names by
// OV_JNI_EXPORT_STDCALL (platform/jni_export.h), so JNIEXPORT adds no second,
// underscore-less export there; on 64-bit Windows it is dllexport.
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#if defined(__i386__)
#define JNIEXPORT
#else
#define JNIEXPORT __declspec(dllexport)
#endif
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
