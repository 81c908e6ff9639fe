// The embedded JVM of the native tests. The test binary creates one real JVM
// (JNI_CreateJavaVM) on first use, with the package jar and the sample
// server's jar on its class path (environment variable
// OSTREL_TEST_CLASSPATH) and -Xcheck:jni, and keeps the main thread attached.
#pragma once

#include <gtest/gtest.h>
#include <jni.h>

#include <string>

#include "platform/com_platform.h"

// The main thread's environment; creates the JVM on first call.
JNIEnv* ov_test_env();
JavaVM* ov_test_vm();

// Finds a class or fails the test.
jclass ov_test_find_class(JNIEnv* env, const char* name);

// The pending exception's class name and message ("" when none), clearing it.
std::string ov_test_take_exception(JNIEnv* env);
// "<class name>: <getMessage()>" of a throwable already taken, as
// ov_test_take_exception describes it (getLocalizedMessage may add more).
std::string ov_test_describe_throwable(JNIEnv* env, jthrowable thrown);
// Like ov_test_take_exception, message only.
std::string ov_test_take_exception_message(JNIEnv* env);

// A Java string as UTF-8.
std::string ov_test_utf8(JNIEnv* env, jstring s);

// Ends every JNI Call...Method of a test, before its next JNI call (as
// -Xcheck:jni demands): an exception the call left pending fails the test,
// with its text, and is cleared.
void ov_test_expect_no_exception(JNIEnv* env, const std::string& what);

// Base fixture: COM and the class cache are initialised on the test thread
// through ComService._initialize, the sample server's classes are registered,
// and every test must end with no pending exception, no leaked BSTR or
// SAFEARRAY, no live sample object and an empty release queue.
class JvmTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Calls a static void no-argument method of ComService (_initialize ...).
  void call_com_service(const char* method);

  JNIEnv* env = nullptr;
  long baseline_bstrs = 0;
  long baseline_arrays = 0;
};
