// CoTaskMemAlloc/Realloc/Free over the C heap, counting the live blocks.
#include <atomic>
#include <cstdlib>

#include "oleport.h"
#include "oleport_testing.h"

namespace {

std::atomic<long> live_blocks{0};

}  // namespace

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
  void* block = std::malloc(cb == 0 ? 1 : cb);
  if (block != nullptr) live_blocks.fetch_add(1);
  return block;
}

LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (pv == nullptr) return CoTaskMemAlloc(cb);
  if (cb == 0) {
    CoTaskMemFree(pv);
    return nullptr;
  }
  return std::realloc(pv, cb);  // on failure the old block stays live
}

void WINAPI CoTaskMemFree(LPVOID pv) {
  if (pv == nullptr) return;
  live_blocks.fetch_sub(1);
  std::free(pv);
}

long oleport_live_task_memory_count(void) {
  return live_blocks.load();
}
