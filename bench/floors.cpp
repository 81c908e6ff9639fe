// Natives of com.qel.vandrel.bench.Floors: what each benchmark figure is
// compared with. Every native that runs a loop does its whole count inside
// one JNI call, so the Java side times the loop and divides by the count.
#include <jni.h>
#include <jvmti.h>

#include <cstdlib>
#include <cstring>

#include "platform/com_platform.h"
#include "runtime/handle.h"
#include "testserver/sample_server.h"

namespace {

// Keeps the compiler from dropping or merging a copy nobody reads.
void clobber(void* p) {
  __asm__ volatile("" : : "r"(p) : "memory");
}

// Two buffers of the benchmark's largest copy, allocated and touched once so
// that a copy measures the copy and no page faults.
struct CopyBuffers {
  static constexpr std::size_t kBytes = std::size_t{8} * 1000 * 1000;
  unsigned char* from = nullptr;
  unsigned char* to = nullptr;

  CopyBuffers()
      : from(static_cast<unsigned char*>(std::malloc(kBytes))),
        to(static_cast<unsigned char*>(std::malloc(kBytes))) {
    if (from != nullptr) std::memset(from, 1, kBytes);
    if (to != nullptr) std::memset(to, 2, kBytes);
  }
  ~CopyBuffers() {
    std::free(from);
    std::free(to);
  }
  CopyBuffers(const CopyBuffers&) = delete;
  CopyBuffers& operator=(const CopyBuffers&) = delete;
};

// Counts the heap roots JVMTI reports as JNI global references and follows
// none of them.
jint JNICALL count_global_root(jvmtiHeapReferenceKind kind, const jvmtiHeapReferenceInfo*, jlong,
                               jlong, jlong, jlong*, jlong*, jint, void* user_data) {
  if (kind == JVMTI_HEAP_REFERENCE_JNI_GLOBAL) ++*static_cast<jlong*>(user_data);
  return 0;
}

jvmtiEnv* heap_walker(JNIEnv* env) {
  static jvmtiEnv* walker = [env]() -> jvmtiEnv* {
    JavaVM* vm = nullptr;
    jvmtiEnv* jvmti = nullptr;
    if (env->GetJavaVM(&vm) != JNI_OK) return nullptr;
    if (vm->GetEnv(reinterpret_cast<void**>(&jvmti), JVMTI_VERSION_1_2) != JNI_OK) return nullptr;
    jvmtiCapabilities capabilities{};
    capabilities.can_tag_objects = 1;
    if (jvmti->AddCapabilities(&capabilities) != JVMTI_ERROR_NONE) return nullptr;
    return jvmti;
  }();
  return walker;
}

}  // namespace

extern "C" {

// Same signature as IDispatchImpl._invoke; does nothing.
JNIEXPORT jobject JNICALL Java_com_qel_vandrel_bench_Floors_emptyInvoke(JNIEnv*, jobject, jlong,
                                                                        jlong, jint, jint,
                                                                        jobjectArray) {
  return nullptr;
}

// Invokes the no-argument method `dispid` on `dispatch` count times, clearing
// each result; returns the number of failed calls.
JNIEXPORT jint JNICALL Java_com_qel_vandrel_bench_Floors_directInvoke(JNIEnv*, jclass,
                                                                      jlong dispatch, jint dispid,
                                                                      jint count) {
  IDispatch* target = ov_from_handle<IDispatch>(dispatch);
  jint failures = 0;
  for (jint n = 0; n < count; ++n) {
    DISPPARAMS params{};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info{};
    UINT bad_argument = 0;
    const HRESULT hr = target->Invoke(static_cast<DISPID>(dispid), IID_NULL, 0x400, DISPATCH_METHOD,
                                      &params, &result, &info, &bad_argument);
    if (FAILED(hr)) ++failures;
    VariantClear(&result);
  }
  return failures;
}

// Invokes Bench's Choose(i, s, d) count times with a BSTR made from `text`
// and freed for every call, clearing each result; returns the number of
// failed calls.
JNIEXPORT jint JNICALL Java_com_qel_vandrel_bench_Floors_directChoose(JNIEnv* env, jclass,
                                                                      jlong dispatch, jint i,
                                                                      jstring text, jdouble d,
                                                                      jint count) {
  IDispatch* target = ov_from_handle<IDispatch>(dispatch);
  const jsize length = env->GetStringLength(text);
  OLECHAR chars[64] = {};
  if (length > 63) return count;
  env->GetStringRegion(text, 0, length, reinterpret_cast<jchar*>(chars));
  jint failures = 0;
  for (jint n = 0; n < count; ++n) {
    VARIANT args[3];
    args[2].vt = VT_I4;
    args[2].lVal = i;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocStringLen(chars, static_cast<UINT>(length));
    args[0].vt = VT_R8;
    args[0].dblVal = d;
    DISPPARAMS params{};
    params.rgvarg = args;
    params.cArgs = 3;
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info{};
    UINT bad_argument = 0;
    const HRESULT hr = target->Invoke(sample_bench::kChoose, IID_NULL, 0x400, DISPATCH_METHOD,
                                      &params, &result, &info, &bad_argument);
    if (FAILED(hr) || result.vt != VT_BSTR) ++failures;
    SysFreeString(args[1].bstrVal);
    VariantClear(&result);
  }
  return failures;
}

// Calls target.event(1, null) count times from native code, as a source's
// Invoke would reach a Java handler with nothing to convert; returns the
// number of calls that threw.
JNIEXPORT jint JNICALL Java_com_qel_vandrel_bench_Floors_upcalls(JNIEnv* env, jclass,
                                                                 jobject target, jint count) {
  jclass type = env->GetObjectClass(target);
  jmethodID event = env->GetMethodID(type, "event", "(I[Ljava/lang/Object;)Ljava/lang/Object;");
  env->DeleteLocalRef(type);
  if (event == nullptr) return count;  // NoSuchMethodError is pending
  jint failures = 0;
  for (jint n = 0; n < count; ++n) {
    jobject result = env->CallObjectMethod(target, event, jint{1}, nullptr);
    if (env->ExceptionCheck()) {
      env->ExceptionClear();
      ++failures;
    }
    if (result != nullptr) env->DeleteLocalRef(result);
  }
  return failures;
}

// Copies `bytes` (at most 8 MB) between two buffers, count times; false when
// the buffers could not be allocated or bytes is too large.
JNIEXPORT jboolean JNICALL Java_com_qel_vandrel_bench_Floors_copyBytes(JNIEnv*, jclass, jint bytes,
                                                                       jint count) {
  static CopyBuffers buffers;
  if (buffers.from == nullptr || buffers.to == nullptr || bytes < 0 ||
      static_cast<std::size_t>(bytes) > CopyBuffers::kBytes) {
    return JNI_FALSE;
  }
  for (jint n = 0; n < count; ++n) {
    std::memcpy(buffers.to, buffers.from, static_cast<std::size_t>(bytes));
    clobber(buffers.to);
  }
  return JNI_TRUE;
}

// JNI global references alive in the VM (the VM's own included), counted as
// the JNI-global heap roots JVMTI reports; -1 when JVMTI is not available.
JNIEXPORT jlong JNICALL Java_com_qel_vandrel_bench_Floors_globalReferences(JNIEnv* env, jclass) {
  jvmtiEnv* jvmti = heap_walker(env);
  if (jvmti == nullptr) return -1;
  jvmtiHeapCallbacks callbacks{};
  callbacks.heap_reference_callback = &count_global_root;
  jlong count = 0;
  if (jvmti->FollowReferences(0, nullptr, nullptr, &callbacks, &count) != JVMTI_ERROR_NONE) {
    return -1;
  }
  return count;
}

}  // extern "C"
