#include "tests/native/jvm_harness.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "oleport_testing.h"
#include "runtime/release_queue.h"
#include "testserver/sample_server.h"

namespace {

JavaVM* g_vm = nullptr;
JNIEnv* g_env = nullptr;

void create_vm() {
  const char* classpath = std::getenv("OSTREL_TEST_CLASSPATH");
  const char* libpath = std::getenv("OSTREL_TEST_LIBPATH");
  if (classpath == nullptr) classpath = OSTREL_DEFAULT_CLASSPATH;
  if (libpath == nullptr) libpath = OSTREL_DEFAULT_LIBPATH;
  std::vector<std::string> options = {
      std::string("-Djava.class.path=") + classpath,
      std::string("-Djava.library.path=") + libpath,
      "-Xcheck:jni",
      "-XX:+AllowUserSignalHandlers",  // the access-violation guard chains in front of the VM's
                                       // handlers
      "-Xss2m",
  };
  std::vector<JavaVMOption> vm_options;
  for (std::string& o : options) vm_options.push_back(JavaVMOption{o.data(), nullptr});
  JavaVMInitArgs args{};
  args.version = JNI_VERSION_1_8;
  args.nOptions = static_cast<jint>(vm_options.size());
  args.options = vm_options.data();
  args.ignoreUnrecognized = JNI_FALSE;
  void* env = nullptr;
  if (JNI_CreateJavaVM(&g_vm, &env, &args) != JNI_OK) {
    std::fprintf(stderr, "cannot create the test JVM\n");
    std::abort();
  }
  g_env = static_cast<JNIEnv*>(env);
}

}  // namespace

JNIEnv* ov_test_env() {
  if (g_vm == nullptr) create_vm();
  return g_env;
}

JavaVM* ov_test_vm() {
  ov_test_env();
  return g_vm;
}

jclass ov_test_find_class(JNIEnv* env, const char* name) {
  jclass cls = env->FindClass(name);
  if (cls == nullptr) {
    ADD_FAILURE() << "class not found: " << name << " " << ov_test_take_exception(env);
  }
  return cls;
}

std::string ov_test_utf8(JNIEnv* env, jstring s) {
  if (s == nullptr) return "<null>";
  const char* chars = env->GetStringUTFChars(s, nullptr);
  std::string result(chars);
  env->ReleaseStringUTFChars(s, chars);
  return result;
}

namespace {

std::string describe(JNIEnv* env, jthrowable t, bool with_class) {
  jclass throwable = env->FindClass("java/lang/Throwable");
  jclass cls_class = env->FindClass("java/lang/Class");
  jmethodID get_message = env->GetMethodID(throwable, "getMessage", "()Ljava/lang/String;");
  jmethodID get_name = env->GetMethodID(cls_class, "getName", "()Ljava/lang/String;");
  auto message = static_cast<jstring>(env->CallObjectMethod(t, get_message));
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    message = nullptr;
  }
  std::string text = ov_test_utf8(env, message);
  if (with_class) {
    jclass cls = env->GetObjectClass(t);
    auto name = static_cast<jstring>(env->CallObjectMethod(cls, get_name));
    if (env->ExceptionCheck()) env->ExceptionClear();
    text = ov_test_utf8(env, name) + ": " + text;
    env->DeleteLocalRef(name);
    env->DeleteLocalRef(cls);
  }
  env->DeleteLocalRef(message);
  env->DeleteLocalRef(throwable);
  env->DeleteLocalRef(cls_class);
  return text;
}

}  // namespace

std::string ov_test_describe_throwable(JNIEnv* env, jthrowable thrown) {
  return describe(env, thrown, true);
}

std::string ov_test_take_exception(JNIEnv* env) {
  jthrowable t = env->ExceptionOccurred();
  if (t == nullptr) return "";
  env->ExceptionClear();
  std::string text = describe(env, t, true);
  env->DeleteLocalRef(t);
  return text;
}

std::string ov_test_take_exception_message(JNIEnv* env) {
  jthrowable t = env->ExceptionOccurred();
  if (t == nullptr) return "";
  env->ExceptionClear();
  std::string text = describe(env, t, false);
  env->DeleteLocalRef(t);
  return text;
}

void ov_test_expect_no_exception(JNIEnv* env, const std::string& what) {
  if (env->ExceptionCheck()) ADD_FAILURE() << what << " threw " << ov_test_take_exception(env);
}

void JvmTest::call_com_service(const char* method) {
  jclass cls = ov_test_find_class(env, "com/qel/vandrel/com/win32/ComService");
  jmethodID m = env->GetStaticMethodID(cls, method, "()V");
  ASSERT_NE(m, nullptr) << method;
  env->CallStaticVoidMethod(cls, m);
  ov_test_expect_no_exception(env, std::string("ComService.") + method);
  env->DeleteLocalRef(cls);
}

void JvmTest::SetUp() {
  env = ov_test_env();
  ASSERT_EQ(env->PushLocalFrame(256), 0);
  call_com_service("_initialize");
  ASSERT_EQ(ov_test_take_exception(env), "");
  sample_server_register();
  baseline_bstrs = oleport_live_bstr_count();
  baseline_arrays = oleport_live_safearray_count();
}

void JvmTest::TearDown() {
  EXPECT_EQ(ov_test_take_exception(env), "") << "exception left pending by the test";
  ov_release_queue_drain();
  EXPECT_EQ(ov_release_queue_count(), 0);
  EXPECT_EQ(oleport_live_bstr_count(), baseline_bstrs) << "leaked BSTRs";
  EXPECT_EQ(oleport_live_safearray_count(), baseline_arrays) << "leaked SAFEARRAYs";
  sample_server_revoke();
  EXPECT_EQ(sample_server_live_objects(), 0) << "leaked sample objects";
  call_com_service("_uninitialize");
  env->PopLocalFrame(nullptr);
}
