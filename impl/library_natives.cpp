// Natives of com.qel.vandrel.com.win32.impl.NativeLibrary: the version
// handshake between the jar and the library it loaded.
#include <jni.h>

#include <string>

#include "platform/jni_export.h"
#include "runtime/entry.h"
#include "runtime/errors.h"
#include "runtime/jni_refs.h"

#ifndef OSTREL_VERSION
#error "OSTREL_VERSION must name the library's version"
#endif

namespace {

constexpr char kLibraryVersion[] = OSTREL_VERSION;

// The jar's version as UTF-16 equals the library's (ASCII) version string.
bool same_version(const OvStringChars& jar) {
  const std::string library = kLibraryVersion;
  if (static_cast<size_t>(jar.length()) != library.size()) return false;
  for (size_t i = 0; i < library.size(); ++i) {
    if (jar.get()[i] != static_cast<unsigned char>(library[i])) return false;
  }
  return true;
}

// Refuses a jar of another version with UnsatisfiedLinkError; returns the
// library's version otherwise.
jstring handshake(JNIEnv* env, jstring jar_version) {
  if (jar_version == nullptr) {
    ov_throw_java_lang(env, "NullPointerException", "the jar's version is null");
    return nullptr;
  }
  OvStringChars jar(env, jar_version);
  if (!jar) return nullptr;
  if (!same_version(jar)) {
    const std::string message = std::string("the Ostrel32 native library is version ") +
                                kLibraryVersion + " and refuses a jar of another version";
    ov_throw_java_lang(env, "UnsatisfiedLinkError", message.c_str());
    return nullptr;
  }
  return env->NewStringUTF(kLibraryVersion);
}

}  // namespace

extern "C" JNIEXPORT jstring JNICALL Java_com_qel_vandrel_com_win32_impl_NativeLibrary__1handshake(
    JNIEnv* env, jclass, jstring jar_version) {
  return ov_jni_entry(env, kOvNeedsNothing, [&] { return handshake(env, jar_version); });
}
OV_JNI_EXPORT_STDCALL(Java_com_qel_vandrel_com_win32_impl_NativeLibrary__1handshake, 12);
