#include "runtime/errors.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/av_guard.h"
#include "runtime/class_cache.h"
#include "runtime/handle.h"
#include "runtime/jni_refs.h"
#include "runtime/variant_clear.h"

namespace {

class MessageWriter {
 public:
  explicit MessageWriter(jchar* out) : out_(out) {}
  void put(jchar unit) {
    if (count_ < kOvMaxMessageUnits) out_[count_++] = unit;
  }
  void put_ascii(const char* text) {
    while (*text != 0) put(static_cast<unsigned char>(*text++));
  }
  int count() const { return count_; }

 private:
  jchar* out_;
  int count_ = 0;
};

void put_unsigned(MessageWriter& w, std::uint32_t value, unsigned base) {
  char digits[16];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0);
  while (n > 0) w.put(static_cast<jchar>(digits[--n]));
}

// Allocates the variant handle's block and fills it with a copy of variant
// that owns what it refers to. The copy AddRefs what the VARIANT holds (the
// elements of an interface array), foreign code: it runs under the guard,
// and a copy that faulted counts as one that failed (what it had copied is
// given up).
VARIANT* copy_for_java(const VARIANT* variant) {
  auto* block = static_cast<VARIANT*>(GlobalAlloc(GPTR, sizeof(VARIANT)));
  if (block == nullptr) return nullptr;
  VariantInit(block);
  HRESULT hr = E_FAIL;
  if (ov_av_guarded([&] { hr = VariantCopy(block, const_cast<VARIANT*>(variant)); })) {
    if (SUCCEEDED(hr)) return block;
  } else {
    std::memset(block, 0, sizeof(VARIANT));
  }
  // Not copyable: keep the raw value only when clearing it can free nothing
  // (a by-reference or plain value, or a type VariantClear refuses).
  const VARTYPE vt = variant->vt;
  const VARTYPE base = vt & VT_TYPEMASK;
  const bool owns =
      (vt & VT_BYREF) == 0 && ((vt & VT_ARRAY) != 0 || base == VT_BSTR || base == VT_DISPATCH ||
                               base == VT_UNKNOWN || base == VT_RECORD);
  if (!owns) std::memcpy(block, variant, sizeof(VARIANT));
  return block;
}

}  // namespace

int ov_format_message(jchar* out, const char* format, va_list args) {
  MessageWriter w(out);
  for (const char* p = format; *p != 0; ++p) {
    if (*p != '%' || p[1] == 0) {
      w.put(static_cast<unsigned char>(*p));
      continue;
    }
    switch (*++p) {
      case 'x':
        put_unsigned(w, va_arg(args, std::uint32_t), 16);
        break;
      case 'd': {
        const std::int32_t value = va_arg(args, std::int32_t);
        if (value < 0) w.put('-');
        put_unsigned(
            w,
            value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value),
            10);
        break;
      }
      case 's':
        for (const OLECHAR* s = va_arg(args, const OLECHAR*); s != nullptr && *s != 0; ++s) {
          w.put(static_cast<jchar>(*s));
        }
        break;
      default:
        w.put(static_cast<unsigned char>(*p));
    }
  }
  return w.count();
}

namespace {

// The cached (String) constructor of one of the package's exception classes;
// any other class is looked up (its lookup error stays pending on failure).
jmethodID message_constructor(JNIEnv* env, jclass exception_class) {
  if (exception_class == ov_cache.comException && ov_cache.comExceptionInit != nullptr) {
    return ov_cache.comExceptionInit;
  }
  if (exception_class == ov_cache.dispatchException && ov_cache.dispatchExceptionInit != nullptr) {
    return ov_cache.dispatchExceptionInit;
  }
  return env->GetMethodID(exception_class, "<init>", "(Ljava/lang/String;)V");
}

// A local String of the BSTR, null for a null BSTR (and, with
// OutOfMemoryError pending, when making it failed).
jstring bstr_to_java(JNIEnv* env, BSTR text) {
  if (text == nullptr) return nullptr;
  return env->NewString(reinterpret_cast<const jchar*>(text),
                        static_cast<jsize>(SysStringLen(text)));
}

// Throws DispatchException carrying hr and, when info is given, the fields of
// the exception record, with the message formatted from format.
int throw_dispatch_hresult(JNIEnv* env, HRESULT hr, const EXCEPINFO* info, const char* format,
                           ...) {
  jchar buffer[kOvMaxMessageUnits + 1];
  va_list args;
  va_start(args, format);
  const int count = ov_format_message(buffer, format, args);
  va_end(args);
  OvLocalRef<jstring> message(env, env->NewString(buffer, count));
  if (!message) return -1;
  jobject made = nullptr;
  if (info == nullptr) {
    made = env->NewObject(ov_cache.dispatchException, ov_cache.dispatchExceptionInitCode,
                          message.get(), static_cast<jint>(hr));
  } else {
    OvLocalRef<jstring> source(env, bstr_to_java(env, info->bstrSource));
    if (env->ExceptionCheck()) return -1;
    OvLocalRef<jstring> description(env, bstr_to_java(env, info->bstrDescription));
    if (env->ExceptionCheck()) return -1;
    OvLocalRef<jstring> help_file(env, bstr_to_java(env, info->bstrHelpFile));
    if (env->ExceptionCheck()) return -1;
    made = env->NewObject(ov_cache.dispatchException, ov_cache.dispatchExceptionInitInfo,
                          message.get(), static_cast<jint>(hr), source.get(), description.get(),
                          help_file.get(), static_cast<jint>(info->dwHelpContext),
                          static_cast<jint>(info->wCode), static_cast<jint>(info->scode));
  }
  OvLocalRef<jthrowable> exception(env, static_cast<jthrowable>(made));
  if (!exception) return -1;
  return env->Throw(exception.get());
}

}  // namespace

int ov_throw_formatted(JNIEnv* env, jclass exception_class, const char* format, va_list args) {
  jchar buffer[kOvMaxMessageUnits + 1];
  const int count = ov_format_message(buffer, format, args);
  jmethodID init = message_constructor(env, exception_class);
  if (init == nullptr) return -1;
  OvLocalRef<jstring> message(env, env->NewString(buffer, count));
  if (!message) return -1;
  OvLocalRef<jthrowable> exception(
      env, static_cast<jthrowable>(env->NewObject(exception_class, init, message.get())));
  if (!exception) return -1;
  return env->Throw(exception.get());
}

int ov_throw_com_exception(JNIEnv* env, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int status = ov_throw_formatted(env, ov_cache.comException, format, args);
  va_end(args);
  return status;
}

int ov_throw_dispatch_exception(JNIEnv* env, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int status = ov_throw_formatted(env, ov_cache.dispatchException, format, args);
  va_end(args);
  return status;
}

int ov_throw_conversion_exception(JNIEnv* env, const VARIANT* variant, const char* format, ...) {
  jchar buffer[kOvMaxMessageUnits + 1];
  va_list args;
  va_start(args, format);
  const int count = ov_format_message(buffer, format, args);
  va_end(args);

  VARIANT* block = variant != nullptr ? copy_for_java(variant) : nullptr;
  const jlong handle = ov_to_handle(block);
  jmethodID init = ov_cache.conversionExceptionInit;
  OvLocalRef<jstring> message(env, init != nullptr ? env->NewString(buffer, count) : nullptr);
  OvLocalRef<jthrowable> exception(
      env, message ? static_cast<jthrowable>(
                         env->NewObject(ov_cache.conversionException, init, message.get(), handle))
                   : nullptr);
  if (!exception) {
    // Nobody took the block over.
    if (block != nullptr) {
      ov_variant_clear_guarded(block);
      GlobalFree(block);
    }
    return -1;
  }
  return env->Throw(exception.get());
}

int ov_check_hresult(JNIEnv* env, HRESULT hr, const EXCEPINFO* info) {
  if (hr == S_FALSE) {
    throw_dispatch_hresult(env, hr, nullptr, "S_FALSE is returned.");
    return 0;
  }
  if (hr >= 0) return 1;
  const auto code = static_cast<std::uint32_t>(hr);
  const std::int32_t facility = (hr >> 16) & 0x1FFF;
  const std::int32_t low = hr & 0xFFFF;
  if (hr == DISP_E_EXCEPTION && info != nullptr) {
    throw_dispatch_hresult(env, hr, info, "Failed(0x%x), FACILITY:%d, CODE:%d. %s", code, facility,
                           low, static_cast<const OLECHAR*>(info->bstrDescription));
  } else {
    throw_dispatch_hresult(env, hr, nullptr, "Failed(0x%x), FACILITY:%d, CODE:%d.", code, facility,
                           low);
  }
  return 0;
}

void ov_throw_java_lang(JNIEnv* env, const char* simple_name, const char* message) noexcept {
  // No allocation of ours: this also reports that memory ran out.
  char name[64];
  std::snprintf(name, sizeof name, "java/lang/%s", simple_name);
  OvLocalRef<jclass> cls(env, env->FindClass(name));
  if (cls) env->ThrowNew(cls.get(), message);
}
