// Failures reported to Java: the three exception classes of the package,
// thrown with a message of at most 1023 UTF-16 units, and the HRESULT test
// that most COM calls pass through.
//
// Formats are printf-like with three directives: %x (a 32-bit value in
// lower-case hexadecimal), %d (a signed 32-bit int) and %s (a zero-terminated
// UTF-16 string; null prints as nothing). A longer message is cut at 1023
// units.
#pragma once

#include <jni.h>

#include <cstdarg>

#include "platform/com_platform.h"

constexpr int kOvMaxMessageUnits = 1023;

// Formats into out (at least kOvMaxMessageUnits units) and returns the number
// of units written.
int ov_format_message(jchar* out, const char* format, va_list args);

int ov_throw_formatted(JNIEnv* env, jclass exception_class, const char* format, va_list args);
int ov_throw_com_exception(JNIEnv* env, const char* format, ...);
int ov_throw_dispatch_exception(JNIEnv* env, const char* format, ...);

// Throws DispatchVariant2JavaException. When variant is given, the exception
// carries a variant handle: a block of global memory holding a copy of the
// VARIANT that owns what it refers to (VariantCopy), so the caller still
// clears its own VARIANT. A VARIANT that cannot be copied travels as a copy
// that frees nothing. ComService._releaseVariant gives the block back.
int ov_throw_conversion_exception(JNIEnv* env, const VARIANT* variant, const char* format, ...);

// 1 when the caller may go on (a success code other than S_FALSE); otherwise
// throws DispatchException with the formatted HRESULT (and, for
// DISP_E_EXCEPTION with exception information, its description) and returns 0.
// The exception carries hr itself (getHResult()) and, with exception
// information, its source, description, help file, help context, wCode and
// scode; the message text is the same either way.
int ov_check_hresult(JNIEnv* env, HRESULT hr, const EXCEPINFO* info);

// Throws a java.lang exception (NullPointerException, OutOfMemoryError, ...)
// by simple name. Used for the failures that are not COM's. Needs neither the
// class cache nor any allocation of the library's.
void ov_throw_java_lang(JNIEnv* env, const char* simple_name, const char* message) noexcept;
