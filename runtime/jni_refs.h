// Owners for JNI resources. Each is non-copyable: a copied owner would
// release twice.
#pragma once

#include <jni.h>

#include <utility>

// A local reference that is deleted when the owner goes away. Natives that
// create references in loops (array elements, nested arrays) use it so the
// frame does not fill up.
template <class T = jobject>
class OvLocalRef {
 public:
  OvLocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
  ~OvLocalRef() {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  }
  OvLocalRef(const OvLocalRef&) = delete;
  OvLocalRef& operator=(const OvLocalRef&) = delete;

  T get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }
  // Hands the reference to the caller (typically as the native's result).
  T release() { return std::exchange(ref_, nullptr); }

 private:
  JNIEnv* env_;
  T ref_;
};

// A local reference frame (PushLocalFrame) for one level of work that makes
// local references, popped when the owner goes away. A level that hands a
// reference to its caller pops the frame with that reference (pop), which
// returns it as a reference of the caller's frame. ok() is false when the
// frame could not be pushed (an OutOfMemoryError is then pending).
class OvLocalFrame {
 public:
  OvLocalFrame(JNIEnv* env, jint capacity)
      : env_(env), pushed_(env->PushLocalFrame(capacity) == 0) {}
  ~OvLocalFrame() {
    if (pushed_) env_->PopLocalFrame(nullptr);
  }
  OvLocalFrame(const OvLocalFrame&) = delete;
  OvLocalFrame& operator=(const OvLocalFrame&) = delete;

  bool ok() const { return pushed_; }
  // Pops the frame; result (a reference of this frame, or null) comes back as
  // a reference of the enclosing frame.
  template <class T>
  T pop(T result) {
    if (!pushed_) return result;
    pushed_ = false;
    return static_cast<T>(env_->PopLocalFrame(result));
  }

 private:
  JNIEnv* env_;
  bool pushed_;
};

// The UTF-16 characters of a Java string, pinned or copied by the VM, with
// their length. Released without copying back.
class OvStringChars {
 public:
  OvStringChars(JNIEnv* env, jstring string)
      : env_(env),
        string_(string),
        length_(string != nullptr ? env->GetStringLength(string) : 0),
        chars_(string != nullptr ? env->GetStringChars(string, nullptr) : nullptr) {}
  ~OvStringChars() {
    if (chars_ != nullptr) env_->ReleaseStringChars(string_, chars_);
  }
  OvStringChars(const OvStringChars&) = delete;
  OvStringChars& operator=(const OvStringChars&) = delete;

  const jchar* get() const { return chars_; }
  jsize length() const { return length_; }
  // False when the string was null or the VM could not provide the characters
  // (an OutOfMemoryError is then pending).
  explicit operator bool() const { return chars_ != nullptr; }

 private:
  JNIEnv* env_;
  jstring string_;
  jsize length_;
  const jchar* chars_;
};

// Takes a pending exception aside for the lifetime of the object and raises it
// again at the end, so that cleanup code may call into Java in between.
class OvPendingException {
 public:
  explicit OvPendingException(JNIEnv* env) : env_(env), pending_(env->ExceptionOccurred()) {
    if (pending_ != nullptr) env_->ExceptionClear();
  }
  ~OvPendingException() {
    if (pending_ != nullptr) {
      env_->ExceptionClear();  // the held exception wins over anything raised meanwhile
      env_->Throw(pending_);
      env_->DeleteLocalRef(pending_);
    }
  }
  OvPendingException(const OvPendingException&) = delete;
  OvPendingException& operator=(const OvPendingException&) = delete;

 private:
  JNIEnv* env_;
  jthrowable pending_;
};
