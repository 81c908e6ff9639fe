// Making and reading Java values in the native tests of the marshalling code:
// boxed numbers, strings, arrays, Ref cells and interface wrappers, built
// through the test JVM (not through the class cache under test).
#pragma once

#include <gtest/gtest.h>
#include <jni.h>

#include <initializer_list>
#include <string>

#include "platform/com_platform.h"
#include "runtime/handle.h"
#include "testserver/sample_server.h"
#include "tests/native/jvm_harness.h"

// new <class_name>(args...) with the constructor of the given signature.
template <class... Args>
jobject java_new(JNIEnv* env, const char* class_name, const char* signature, Args... args) {
  jclass cls = ov_test_find_class(env, class_name);
  jmethodID init = env->GetMethodID(cls, "<init>", signature);
  EXPECT_NE(init, nullptr) << class_name << signature;
  jobject object = init != nullptr ? env->NewObject(cls, init, args...) : nullptr;
  ov_test_expect_no_exception(env, std::string("new ") + class_name);
  env->DeleteLocalRef(cls);
  return object;
}

// Calls an instance method returning an object.
template <class... Args>
jobject java_call(JNIEnv* env, jobject target, const char* name, const char* signature,
                  Args... args) {
  jclass cls = env->GetObjectClass(target);
  jmethodID method = env->GetMethodID(cls, name, signature);
  EXPECT_NE(method, nullptr) << name << signature;
  env->DeleteLocalRef(cls);
  jobject result = method != nullptr ? env->CallObjectMethod(target, method, args...) : nullptr;
  ov_test_expect_no_exception(env, name);
  return result;
}

inline jstring java_string(JNIEnv* env, const std::u16string& text) {
  return env->NewString(reinterpret_cast<const jchar*>(text.data()),
                        static_cast<jsize>(text.size()));
}

inline std::u16string java_text(JNIEnv* env, jstring s) {
  const jchar* chars = env->GetStringChars(s, nullptr);
  std::u16string text(reinterpret_cast<const char16_t*>(chars),
                      static_cast<std::size_t>(env->GetStringLength(s)));
  env->ReleaseStringChars(s, chars);
  return text;
}

// String.valueOf(object) as UTF-8 ("null" for null).
inline std::string java_to_string(JNIEnv* env, jobject object) {
  jclass string_class = ov_test_find_class(env, "java/lang/String");
  jmethodID value_of =
      env->GetStaticMethodID(string_class, "valueOf", "(Ljava/lang/Object;)Ljava/lang/String;");
  auto text = static_cast<jstring>(env->CallStaticObjectMethod(string_class, value_of, object));
  ov_test_expect_no_exception(env, "String.valueOf");
  std::string result = ov_test_utf8(env, text);
  env->DeleteLocalRef(text);
  env->DeleteLocalRef(string_class);
  return result;
}

// java.util.Arrays.deepToString(new Object[] {object}): shows arrays of any
// type and depth, "[null]" for null.
inline std::string java_deep_text(JNIEnv* env, jobject object) {
  jclass object_class = ov_test_find_class(env, "java/lang/Object");
  jobjectArray holder = env->NewObjectArray(1, object_class, object);
  jclass arrays = ov_test_find_class(env, "java/util/Arrays");
  jmethodID deep =
      env->GetStaticMethodID(arrays, "deepToString", "([Ljava/lang/Object;)Ljava/lang/String;");
  auto text = static_cast<jstring>(env->CallStaticObjectMethod(arrays, deep, holder));
  ov_test_expect_no_exception(env, "Arrays.deepToString");
  std::string result = ov_test_utf8(env, text);
  env->DeleteLocalRef(text);
  env->DeleteLocalRef(arrays);
  env->DeleteLocalRef(holder);
  env->DeleteLocalRef(object_class);
  return result;
}

// The Java class name of object ("[I", "java.lang.Integer").
inline std::string java_class_name(JNIEnv* env, jobject object) {
  if (object == nullptr) return "<null>";
  jclass cls = env->GetObjectClass(object);
  auto name = static_cast<jstring>(java_call(env, cls, "getName", "()Ljava/lang/String;"));
  std::string result = ov_test_utf8(env, name);
  env->DeleteLocalRef(name);
  env->DeleteLocalRef(cls);
  return result;
}

inline jobjectArray java_object_array(JNIEnv* env, const char* component,
                                      std::initializer_list<jobject> elements) {
  jclass cls = ov_test_find_class(env, component);
  jobjectArray array = env->NewObjectArray(static_cast<jsize>(elements.size()), cls, nullptr);
  jsize i = 0;
  for (jobject e : elements) env->SetObjectArrayElement(array, i++, e);
  env->DeleteLocalRef(cls);
  return array;
}

inline jobject java_static_field(JNIEnv* env, const char* class_name, const char* name,
                                 const char* signature) {
  jclass cls = ov_test_find_class(env, class_name);
  jobject value = env->GetStaticObjectField(cls, env->GetStaticFieldID(cls, name, signature));
  env->DeleteLocalRef(cls);
  return value;
}

inline jobject java_integer(JNIEnv* env, jint v) {
  return java_new(env, "java/lang/Integer", "(I)V", v);
}

inline jobject java_missing(JNIEnv* env) {
  return java_static_field(env, "com/qel/vandrel/com/win32/Missing", "VALUE",
                           "Lcom/qel/vandrel/com/win32/Missing;");
}

// A new Ref cell ("RefInt", "RefString" ...).
inline jobject java_ref(JNIEnv* env, const std::string& kind) {
  return java_new(env, ("com/qel/vandrel/com/win32/" + kind).c_str(), "()V");
}

// IResource.getPtr() of a wrapper or cell.
inline jlong java_resource_ptr(JNIEnv* env, jobject resource) {
  jclass cls = ov_test_find_class(env, "com/qel/vandrel/com/win32/IResource");
  jlong ptr = env->CallLongMethod(resource, env->GetMethodID(cls, "getPtr", "()J"));
  ov_test_expect_no_exception(env, "getPtr");
  env->DeleteLocalRef(cls);
  return ptr;
}

// A Java IDispatchImpl (or IUnknownImpl) taking over one reference of p.
inline jobject java_dispatch_wrapper(JNIEnv* env, IDispatch* p) {
  return java_new(env, "com/qel/vandrel/com/win32/impl/IDispatchImpl", "(J)V", ov_to_handle(p));
}
inline jobject java_unknown_wrapper(JNIEnv* env, IUnknown* p) {
  return java_new(env, "com/qel/vandrel/com/win32/impl/IUnknownImpl", "(J)V", ov_to_handle(p));
}

// AutoCloseable.close(): releases a wrapper's reference or frees a cell.
inline void java_close(JNIEnv* env, jobject closeable) {
  jclass cls = ov_test_find_class(env, "java/lang/AutoCloseable");
  env->CallVoidMethod(closeable, env->GetMethodID(cls, "close", "()V"));
  ov_test_expect_no_exception(env, "close");
  env->DeleteLocalRef(cls);
}

// The variant handle of a DispatchVariant2JavaException.
inline jlong java_variant_handle(JNIEnv* env, jobject exception) {
  jclass cls = env->GetObjectClass(exception);
  jlong handle = env->CallLongMethod(exception, env->GetMethodID(cls, "getVariantHandle", "()J"));
  ov_test_expect_no_exception(env, "getVariantHandle");
  env->DeleteLocalRef(cls);
  return handle;
}

// Gives the exception's VARIANT back (ComService._releaseVariant).
inline void java_release_variant(JNIEnv* env, jobject exception) {
  jclass cls = env->GetObjectClass(exception);
  env->CallVoidMethod(exception, env->GetMethodID(cls, "releaseVariant", "()V"));
  ov_test_expect_no_exception(env, "releaseVariant");
  env->DeleteLocalRef(cls);
}

// A new sample Automation object (one reference).
inline IDispatch* new_automation() {
  IDispatch* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_SampleAutomation, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(&p)),
            S_OK);
  return p;
}
inline IDispatch* new_counter() {
  IDispatch* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_SampleCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(&p)),
            S_OK);
  return p;
}

// A BSTR as UTF-16 (SysStringLen units).
inline std::u16string bstr_text(BSTR b) {
  return std::u16string(reinterpret_cast<const char16_t*>(b), SysStringLen(b));
}
