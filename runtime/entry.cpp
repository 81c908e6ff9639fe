#include "runtime/entry.h"

#include <cstdio>
#include <exception>
#include <new>

#include "runtime/class_cache.h"
#include "runtime/errors.h"
#include "runtime/handle.h"
#include "runtime/release_queue.h"

const char kOvNotInitialised[] = "Ostrel32 is not initialised: call ComService.initialize() first";

bool ov_entry_admits(JNIEnv* env, const OvNeeds& needs) {
  if (needs.cache && !ov_cache_ready()) {
    // Only java.lang classes here: the package's exception classes are cache entries.
    ov_throw_java_lang(env, "IllegalStateException", kOvNotInitialised);
    return false;
  }
  if (needs.zero != nullptr && ov_from_handle<void>(needs.handle) == nullptr) {
    ov_throw_java_lang(env, "NullPointerException", needs.zero);
    return false;
  }
  if (needs.com) ov_release_queue_drain();
  return true;
}

void ov_throw_for_current_exception(JNIEnv* env) noexcept {
  const char* type = "Error";
  char message[256];
  try {
    throw;
  } catch (const std::bad_alloc&) {
    type = "OutOfMemoryError";
    std::snprintf(message, sizeof message, "Ostrel32 ran out of native memory");
  } catch (const std::exception& e) {
    std::snprintf(message, sizeof message, "unexpected C++ exception in Ostrel32: %s", e.what());
  } catch (...) {
    std::snprintf(message, sizeof message, "unexpected C++ exception in Ostrel32");
  }
  if (env->ExceptionCheck()) return;
  ov_throw_java_lang(env, type, message);
}

HRESULT ov_hresult_for_current_exception() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}
