#include "refcells/ref_container_natives.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/com_platform.h"
#include "platform/jni_export.h"
#include "runtime/handle.h"

namespace {

// One load or store of exactly sizeof(T) bytes at the start of the cell.
template <class T>
T load(jlong address) {
  T value;
  std::memcpy(&value, ov_from_handle<void>(address), sizeof value);
  return value;
}

template <class T>
void store(jlong address, T value) {
  std::memcpy(ov_from_handle<void>(address), &value, sizeof value);
}

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1calloc(JNIEnv*, jclass,
                                                                             jint size) {
  if (size < 0 || size > kOvMaxCellBytes) return 0;
  return ov_to_handle(std::calloc(1, static_cast<std::size_t>(size)));
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1calloc, 12);

JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1free(JNIEnv*, jclass,
                                                                          jlong address) {
  std::free(ov_from_handle<void>(address));
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1free, 16);

// The numeric kinds: the cell holds the value as the Java type has it
// (CellType), so a read gives back exactly the bytes a write stored.
#define OV_NUMERIC_CELL(Kind, JType, CellType, set_bytes)                                    \
  JNIEXPORT JType JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1getValueBy##Kind(    \
      JNIEnv*, jclass, jlong address) {                                                      \
    return static_cast<JType>(load<CellType>(address));                                      \
  }                                                                                          \
  OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1getValueBy##Kind, 16); \
  JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1setValueFor##Kind(    \
      JNIEnv*, jclass, jlong address, JType value) {                                         \
    store<CellType>(address, static_cast<CellType>(value));                                  \
  }                                                                                          \
  OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1setValueFor##Kind, set_bytes)

// Boolean reads the byte back as it is: a callee's 0xFF is not mapped to 1.
OV_NUMERIC_CELL(Boolean, jboolean, std::uint8_t, 20);
OV_NUMERIC_CELL(Byte, jbyte, std::int8_t, 20);
OV_NUMERIC_CELL(Short, jshort, std::int16_t, 20);
OV_NUMERIC_CELL(Int, jint, std::int32_t, 20);
OV_NUMERIC_CELL(Long, jlong, std::int64_t, 24);
OV_NUMERIC_CELL(Float, jfloat, float, 20);
OV_NUMERIC_CELL(Double, jdouble, double, 24);
// All 64 bits; a callee writing a 32-bit pointer into a zeroed cell reads
// back zero-extended.
OV_NUMERIC_CELL(IUnknown, jlong, std::int64_t, 24);
OV_NUMERIC_CELL(VoidPtr, jlong, std::int64_t, 24);

#undef OV_NUMERIC_CELL

JNIEXPORT jobject JNICALL
Java_com_qel_vandrel_com_win32_RefContainer__1getValueByObject(JNIEnv* env, jclass, jlong address) {
  const jobject held = load<jobject>(address);
  return held != nullptr ? env->NewLocalRef(held) : nullptr;
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1getValueByObject, 16);

JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1setValueForObject(
    JNIEnv* env, jclass, jlong address, jobject value) {
  const jobject previous = load<jobject>(address);
  store<jobject>(address, value != nullptr ? env->NewGlobalRef(value) : nullptr);
  if (previous != nullptr) env->DeleteGlobalRef(previous);
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1setValueForObject, 20);

JNIEXPORT jstring JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1getValueByBStrPtr(
    JNIEnv* env, jclass, jlong address) {
  const BSTR held = load<BSTR>(address);
  if (held == nullptr) return nullptr;
  // Exactly SysStringLen units: zero units inside the string stay.
  return env->NewString(reinterpret_cast<const jchar*>(held),
                        static_cast<jsize>(SysStringLen(held)));
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1getValueByBStrPtr, 16);

JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1setValueForBStrPtr(
    JNIEnv* env, jclass, jlong address, jstring value) {
  SysFreeString(load<BSTR>(address));
  store<BSTR>(address, nullptr);
  if (value == nullptr) return;
  const jsize length = env->GetStringLength(value);
  const jchar* chars = env->GetStringChars(value, nullptr);
  if (chars == nullptr) return;  // OutOfMemoryError pending; the cell holds no string
  // An empty string gives an empty, non-null BSTR; a failed allocation null.
  store<BSTR>(address, SysAllocStringLen(reinterpret_cast<const OLECHAR*>(chars),
                                         static_cast<UINT>(length)));
  env->ReleaseStringChars(value, chars);
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1setValueForBStrPtr, 20);

}  // extern "C"
