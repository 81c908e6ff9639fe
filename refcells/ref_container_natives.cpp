#include "refcells/ref_container_natives.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/com_platform.h"
#include "platform/jni_export.h"
#include "refcells/cell_registry.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/handle.h"

// Every native here works before ComService._initialize: none reads the
// class cache.

namespace {

// One load or store of exactly sizeof(T) bytes at the start of the cell.
template <class T>
T load(const void* cell) {
  T value;
  std::memcpy(&value, cell, sizeof value);
  return value;
}

template <class T>
void store(void* cell, T value) {
  std::memcpy(cell, &value, sizeof value);
}

jlong allocate(jint size) {
  if (size < 0 || size > kOvMaxCellBytes) return 0;
  return ov_cell_allocate(static_cast<std::size_t>(size));
}

// The numeric kinds: the cell holds the value as the Java type has it
// (CellType), so a read gives back exactly the bytes a write stored.
template <class JType, class CellType>
JType get_number(JNIEnv* env, jlong address, const char* kind) {
  OvLiveCell cell(address, sizeof(CellType));
  if (!cell) {
    cell.refuse(env, kind);
    return JType{};
  }
  return static_cast<JType>(load<CellType>(cell.bytes()));
}

template <class CellType>
void set_number(JNIEnv* env, jlong address, CellType value, const char* kind) {
  OvLiveCell cell(address, sizeof value);
  if (!cell) return cell.refuse(env, kind);
  cell.drop_object(env);  // a reference the store overwrites would leak and dangle
  store<CellType>(cell.bytes(), value);
  cell.set_content(OvCellContent::kNumber);
}

// Releases the lock and throws IllegalStateException "the cell at <address>
// holds <what>".
void refuse_content(JNIEnv* env, OvLiveCell& cell, jlong address, const char* what) {
  cell.end();
  char message[128];
  std::snprintf(message, sizeof message, "the cell at %#llx holds %s",
                static_cast<unsigned long long>(address), what);
  ov_throw_java_lang(env, "IllegalStateException", message);
}

jobject get_object(JNIEnv* env, jlong address) {
  OvLiveCell cell(address, sizeof(jobject));
  if (!cell) {
    cell.refuse(env, "Object");
    return nullptr;
  }
  const jobject held = load<jobject>(cell.bytes());
  if (cell.content() == OvCellContent::kObject) return env->NewLocalRef(held);
  // A zeroed cell holds null; anything else is no reference of ours and
  // never reaches the VM.
  if (cell.content() == OvCellContent::kZeroed && held == nullptr) return nullptr;
  refuse_content(env, cell, address, "no object reference");
  return nullptr;
}

void set_object(JNIEnv* env, jlong address, jobject value) {
  OvLiveCell cell(address, sizeof(jobject));
  if (!cell) return cell.refuse(env, "Object");
  // A reference passed in lives only for this call: the cell keeps its own.
  const jobject global = value != nullptr ? env->NewGlobalRef(value) : nullptr;
  if (value != nullptr && global == nullptr) return;  // OutOfMemoryError pending
  cell.drop_object(env);
  cell.hold_object(global);
}

jstring get_string(JNIEnv* env, jlong address) {
  OvLiveCell cell(address, sizeof(BSTR));
  if (!cell) {
    cell.refuse(env, "BStrPtr");
    return nullptr;
  }
  // Only a zeroed or string cell can hold a BSTR: never read one out of
  // anything else.
  switch (cell.content()) {
    case OvCellContent::kObject:
      refuse_content(env, cell, address, "an object reference, not a string");
      return nullptr;
    case OvCellContent::kNumber:
      refuse_content(env, cell, address, "a number, not a string");
      return nullptr;
    case OvCellContent::kZeroed:
    case OvCellContent::kString:
      break;
  }
  const BSTR held = load<BSTR>(cell.bytes());
  if (held == nullptr) return nullptr;
  // Exactly SysStringLen units: zero units inside the string stay.
  return env->NewString(reinterpret_cast<const jchar*>(held),
                        static_cast<jsize>(SysStringLen(held)));
}

void set_string(JNIEnv* env, jlong address, jstring value) {
  OvLiveCell cell(address, sizeof(BSTR));
  if (!cell) return cell.refuse(env, "BStrPtr");
  // What the cell held goes: its string, or its object reference; a number
  // is no string to free.
  switch (cell.content()) {
    case OvCellContent::kObject:
      cell.drop_object(env);
      break;
    case OvCellContent::kNumber:
      break;
    case OvCellContent::kZeroed:
    case OvCellContent::kString:
      SysFreeString(load<BSTR>(cell.bytes()));
      break;
  }
  store<BSTR>(cell.bytes(), nullptr);
  cell.set_content(OvCellContent::kString);
  if (value == nullptr) return;
  const jsize length = env->GetStringLength(value);
  const jchar* chars = env->GetStringChars(value, nullptr);
  if (chars == nullptr) return;  // OutOfMemoryError pending; the cell holds no string
  // An empty string gives an empty, non-null BSTR; a failed allocation null.
  store<BSTR>(cell.bytes(), SysAllocStringLen(reinterpret_cast<const OLECHAR*>(chars),
                                              static_cast<UINT>(length)));
  env->ReleaseStringChars(value, chars);
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1calloc(JNIEnv* env,
                                                                                        jclass,
                                                                                        jint size) {
  return ov_jni_entry(env, kOvNeedsNothing, [&] { return allocate(size); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1calloc, 12);

extern "C" JNIEXPORT void JNICALL
Java_com_qel_vandrel_com_win32_RefContainer__1free(JNIEnv* env, jclass, jlong address) {
  ov_jni_entry(env, kOvNeedsNothing, [&] { ov_cell_free(env, address); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1free, 16);

#define OV_NUMERIC_CELL(Kind, JType, CellType, set_bytes)                                    \
  extern "C" JNIEXPORT JType JNICALL                                                         \
      Java_com_qel_vandrel_com_win32_RefContainer__1getValueBy##Kind(JNIEnv* env, jclass,    \
                                                                     jlong address) {        \
    return ov_jni_entry(env, kOvNeedsNothing,                                                \
                        [&] { return get_number<JType, CellType>(env, address, #Kind); });   \
  }                                                                                          \
  OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1getValueBy##Kind, 16); \
  extern "C" JNIEXPORT void JNICALL                                                          \
      Java_com_qel_vandrel_com_win32_RefContainer__1setValueFor##Kind(                       \
          JNIEnv* env, jclass, jlong address, JType value) {                                 \
    ov_jni_entry(env, kOvNeedsNothing, [&] {                                                 \
      set_number<CellType>(env, address, static_cast<CellType>(value), #Kind);               \
    });                                                                                      \
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

extern "C" JNIEXPORT jobject JNICALL
Java_com_qel_vandrel_com_win32_RefContainer__1getValueByObject(JNIEnv* env, jclass, jlong address) {
  return ov_jni_entry(env, kOvNeedsNothing, [&] { return get_object(env, address); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1getValueByObject, 16);

extern "C" JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1setValueForObject(
    JNIEnv* env, jclass, jlong address, jobject value) {
  ov_jni_entry(env, kOvNeedsNothing, [&] { set_object(env, address, value); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1setValueForObject, 20);

extern "C" JNIEXPORT jstring JNICALL
Java_com_qel_vandrel_com_win32_RefContainer__1getValueByBStrPtr(JNIEnv* env, jclass,
                                                                jlong address) {
  return ov_jni_entry(env, kOvNeedsNothing, [&] { return get_string(env, address); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1getValueByBStrPtr, 16);

extern "C" JNIEXPORT void JNICALL Java_com_qel_vandrel_com_win32_RefContainer__1setValueForBStrPtr(
    JNIEnv* env, jclass, jlong address, jstring value) {
  ov_jni_entry(env, kOvNeedsNothing, [&] { set_string(env, address, value); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_RefContainer__1setValueForBStrPtr, 20);
