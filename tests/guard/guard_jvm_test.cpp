// The guard inside a real JVM: the JVM's own SIGSEGV use (implicit null
// checks, safepoint polls) keeps working before, during and after guarded
// calls, including calls that come back into Java and Java threads that make
// guarded calls themselves.
//
// OSTREL_GUARD_JVM_MODE chooses how the handlers are stacked:
//   (unset)      the JVM starts first and the guard's handler goes in front
//                of the JVM's; -XX:+AllowUserSignalHandlers keeps checked JNI
//                from warning about that;
//   libjsig      the JDK's signal-chaining library is preloaded: the JVM's
//                handler stays in front and chains to the guard's; checked
//                JNI must not warn;
//   guard_first  the guard is installed before the JVM starts, which puts
//                its handler in front of the guard's and chains to it.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <jni.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "parked_guard.h"
#include "platform/av_guard.h"
#include "posix_faults.h"

namespace {

constexpr int kIterations = 200000;

enum class Mode { kGuardInFront, kLibjsig, kGuardFirst };

Mode mode() {
  const char* text = std::getenv("OSTREL_GUARD_JVM_MODE");
  const std::string name = text != nullptr ? text : "";
  if (name.empty()) return Mode::kGuardInFront;
  if (name == "libjsig") return Mode::kLibjsig;
  if (name == "guard_first") return Mode::kGuardFirst;
  std::fprintf(stderr, "unknown OSTREL_GUARD_JVM_MODE %s\n", name.c_str());
  std::abort();
}

// The handler the kernel runs for sig, read past any sigaction interposer
// (libjsig answers sigaction with the handler chained behind the JVM's).
void* kernel_handler(int sig) {
  struct {
    void* handler;
    unsigned long flags;
    void* restorer;
    unsigned long mask;
  } action{};
  if (syscall(SYS_rt_sigaction, sig, nullptr, &action, sizeof action.mask) != 0) return nullptr;
  return action.handler;
}

bool inside_libjvm(void* address) {
  Dl_info info{};
  return dladdr(address, &info) != 0 && info.dli_fname != nullptr &&
         std::string(info.dli_fname).find("libjvm.so") != std::string::npos;
}

// Everything the JVM prints, for the checks on its warnings.
std::mutex g_output_mutex;
std::string g_output;

jint JNICALL capture_output(FILE* stream, const char* format, va_list args) {
  char line[1024];
  va_list copy;
  va_copy(copy, args);
  std::vsnprintf(line, sizeof line, format, copy);
  va_end(copy);
  {
    const std::lock_guard<std::mutex> lock(g_output_mutex);
    g_output += line;
  }
  return std::vfprintf(stream, format, args);
}

jint JNICALL guarded_faults(JNIEnv*, jclass, jint count) {
  jint caught = 0;
  for (jint i = 0; i < count; ++i) {
    if (!ov_av_guard_run(kFaultKinds[i % kFaultKindCount].call, nullptr)) ++caught;
  }
  return caught;
}

// One JVM for the process, created on first use on the calling thread, with
// checked JNI. Checked JNI also compares the installed SIGSEGV and SIGBUS
// actions with the JVM's own now and then and warns once when it finds the
// guard's handler in front; -XX:+AllowUserSignalHandlers turns that check
// off (and would keep the JVM from installing its own handlers over the
// guard's in guard_first mode). OSTREL_GUARD_JVM_OPTIONS adds space-separated
// options.
class TestJvm {
 public:
  static TestJvm& get() {
    static TestJvm jvm;
    return jvm;
  }

  JNIEnv* env() const { return env_; }
  jclass loop_class() const { return loop_; }

 private:
  TestJvm() {
    std::vector<std::string> texts = {"-Djava.class.path=" OSTREL_GUARD_TEST_CLASSES, "-Xmx64m",
                                      "-Xcheck:jni"};
    switch (mode()) {
      case Mode::kGuardInFront:
        texts.push_back("-XX:+AllowUserSignalHandlers");
        break;
      case Mode::kLibjsig:
        // A test that needs the library fails without it.
        if (dlsym(RTLD_DEFAULT, "JVM_begin_signal_setting") == nullptr) {
          std::fprintf(stderr, "libjsig.so is not preloaded\n");
          std::abort();
        }
        break;
      case Mode::kGuardFirst:
        ov_av_guarded([] {});
        break;
    }
    if (const char* extra = std::getenv("OSTREL_GUARD_JVM_OPTIONS")) {
      std::istringstream words(extra);
      for (std::string word; words >> word;) texts.push_back(word);
    }
    std::vector<JavaVMOption> options;
    for (std::string& text : texts) options.push_back({&text[0], nullptr});
    options.push_back({const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&capture_output)});

    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.data();
    JavaVM* vm = nullptr;
    void* env = nullptr;
    if (JNI_CreateJavaVM(&vm, &env, &args) != JNI_OK) std::abort();
    env_ = static_cast<JNIEnv*>(env);

    const jclass local = env_->FindClass("guardtest/NpeLoop");
    if (local == nullptr) std::abort();
    loop_ = static_cast<jclass>(env_->NewGlobalRef(local));
    const JNINativeMethod natives[] = {{const_cast<char*>("guardedFaults"),
                                        const_cast<char*>("(I)I"),
                                        reinterpret_cast<void*>(&guarded_faults)}};
    if (env_->RegisterNatives(loop_, natives, 1) != JNI_OK) std::abort();
  }

  JNIEnv* env_ = nullptr;
  jclass loop_ = nullptr;
};

class GuardInJvm : public ::testing::Test {
 protected:
  void SetUp() override {
    env = TestJvm::get().env();
    loop = TestJvm::get().loop_class();
  }

  // Checked JNI reports misuse and faults it could not attribute as
  // warnings.
  void TearDown() override {
    const std::lock_guard<std::mutex> lock(g_output_mutex);
    EXPECT_EQ(g_output.find("arning"), std::string::npos) << g_output;
  }

  // Fails the test when the last call left a Java exception.
  void expect_no_exception() {
    if (!env->ExceptionCheck()) return;
    env->ExceptionDescribe();
    env->ExceptionClear();
    ADD_FAILURE() << "Java exception";
  }

  jint count_npes(jint iterations) {
    const jmethodID method = env->GetStaticMethodID(loop, "countNullPointerExceptions", "(I)I");
    const jint caught = env->CallStaticIntMethod(loop, method, iterations);
    expect_no_exception();
    return caught;
  }

  // {exceptions caught, guarded faults caught}
  std::pair<jint, jint> results(jobject array) {
    expect_no_exception();
    jint values[2] = {-1, -1};
    if (array != nullptr) env->GetIntArrayRegion(static_cast<jintArray>(array), 0, 2, values);
    env->DeleteLocalRef(array);
    return {values[0], values[1]};
  }

  std::pair<jint, jint> run_loop(jint iterations, jint fault_every) {
    const jmethodID method = env->GetStaticMethodID(loop, "run", "(ILguardtest/NpeLoop;I)[I");
    return results(env->CallStaticObjectMethod(loop, method, iterations, nullptr, fault_every));
  }

  std::pair<jint, jint> run_on_threads(jint threads, jint iterations, jint fault_every) {
    const jmethodID method = env->GetStaticMethodID(loop, "onThreads", "(III)[I");
    return results(env->CallStaticObjectMethod(loop, method, threads, iterations, fault_every));
  }

  void collect_garbage() {
    const jclass system = env->FindClass("java/lang/System");
    env->CallStaticVoidMethod(system, env->GetStaticMethodID(system, "gc", "()V"));
    expect_no_exception();
    env->DeleteLocalRef(system);
  }

  JNIEnv* env = nullptr;
  jclass loop = nullptr;
};

TEST_F(GuardInJvm, HandlerInFrontIsTheOneTheModeStacks) {
  ov_av_guarded([] {});
  for (const int sig : {SIGSEGV, SIGBUS}) {
    EXPECT_EQ(inside_libjvm(kernel_handler(sig)), mode() != Mode::kGuardInFront)
        << "signal " << sig;
  }
}

TEST_F(GuardInJvm, HotNullChecksWorkBeforeAndAfterGuardedFaults) {
  EXPECT_EQ(count_npes(kIterations), kIterations);
  EXPECT_EQ(guarded_faults(env, loop, 100), 100);
  EXPECT_EQ(count_npes(kIterations), kIterations);
  collect_garbage();
  EXPECT_EQ(guarded_faults(env, loop, 100), 100);
}

// The JVM's faults pass through the guard's handler while it is installed:
// permanently (a thread parked in a guarded call) or on and off (a thread
// faulting in guarded calls in a loop).
TEST_F(GuardInJvm, HotNullChecksWorkWhileOtherThreadsSitInGuardedCalls) {
  const ParkedGuard parked;
  std::atomic<bool> stop{false};
  std::atomic<long> caught{0};
  std::thread churn([&] {
    while (!stop.load()) {
      if (!ov_av_guard_run(&write_low_address, nullptr)) ++caught;
    }
  });
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(count_npes(kIterations), kIterations);
    collect_garbage();
  }
  stop = true;
  churn.join();
  EXPECT_GT(caught.load(), 0);
}

TEST_F(GuardInJvm, GuardedCallComesBackIntoJava) {
  std::pair<jint, jint> seen{-1, -1};
  EXPECT_TRUE(ov_av_guarded([&] {
    const OvAvGuardSuspend suspended;
    // Java that faults on null receivers and itself makes guarded calls.
    seen = run_loop(kIterations, 1000);
  }));
  EXPECT_EQ(seen.first, kIterations);
  EXPECT_EQ(seen.second, kIterations / 1000);
  // The outer guard is active again.
  EXPECT_FALSE(ov_av_guarded([&] {
    { const OvAvGuardSuspend suspended; }
    write_low_address(nullptr);
  }));
}

TEST_F(GuardInJvm, JavaThreadsMakeGuardedCallsWhileTheirNullChecksFault) {
  constexpr jint kThreads = 4;
  constexpr jint kPerThread = 100000;
  const std::pair<jint, jint> seen = run_on_threads(kThreads, kPerThread, 100);
  EXPECT_EQ(seen.first, kThreads * kPerThread);
  EXPECT_EQ(seen.second, kThreads * kPerThread / 100);
}

}  // namespace
