#include "runtime/last_result.h"

namespace {

// Per thread: a native and the Java code that reads its result run on the
// same thread, and no other thread's call can overwrite it in between.
thread_local HRESULT last_result = S_OK;

}  // namespace

void ov_set_last_result(HRESULT hr) noexcept {
  last_result = hr;
}

HRESULT ov_last_result() noexcept {
  return last_result;
}
