// Every RefContainer accessor as a row the native tests can run over any
// address: its name, the bytes it touches and a call with a fixed value.
#pragma once

#include <jni.h>

#include <cstddef>
#include <vector>

#include "refcells/ref_container_natives.h"

#define OV_RC(name) Java_com_qel_vandrel_com_win32_RefContainer__1##name

struct CellAccessor {
  const char* name;
  const char* kind;
  std::size_t bytes;
  void (*call)(JNIEnv* env, jlong address);
};

inline const std::vector<CellAccessor>& cell_accessors() {
#define OV_GETTER(Kind, bytes)                                  \
  {                                                             \
    "_getValueBy" #Kind, #Kind, bytes, [](JNIEnv* e, jlong a) { \
      OV_RC(getValueBy##Kind)(e, nullptr, a);                   \
    }                                                           \
  }
#define OV_SETTER(Kind, bytes, value)                            \
  {                                                              \
    "_setValueFor" #Kind, #Kind, bytes, [](JNIEnv* e, jlong a) { \
      OV_RC(setValueFor##Kind)(e, nullptr, a, value);            \
    }                                                            \
  }
  static const std::vector<CellAccessor> rows = {
      OV_GETTER(Boolean, 1),
      OV_GETTER(Byte, 1),
      OV_GETTER(Short, 2),
      OV_GETTER(Int, 4),
      OV_GETTER(Long, 8),
      OV_GETTER(Float, 4),
      OV_GETTER(Double, 8),
      OV_GETTER(IUnknown, 8),
      OV_GETTER(VoidPtr, 8),
      OV_GETTER(Object, sizeof(jobject)),
      OV_GETTER(BStrPtr, sizeof(void*)),
      OV_SETTER(Boolean, 1, JNI_TRUE),
      OV_SETTER(Byte, 1, jbyte{-1}),
      OV_SETTER(Short, 2, jshort{-2}),
      OV_SETTER(Int, 4, jint{-3}),
      OV_SETTER(Long, 8, jlong{-4}),
      OV_SETTER(Float, 4, 0.5f),
      OV_SETTER(Double, 8, 0.25),
      OV_SETTER(IUnknown, 8, jlong{5}),
      OV_SETTER(VoidPtr, 8, jlong{6}),
      OV_SETTER(Object, sizeof(jobject), nullptr),
      OV_SETTER(BStrPtr, sizeof(void*), nullptr),
  };
#undef OV_GETTER
#undef OV_SETTER
  return rows;
}
