// CoTaskMemAlloc/Realloc/Free over the C heap.
#include <cstdlib>

#include "oleport.h"

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
  return std::malloc(cb == 0 ? 1 : cb);
}

LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (cb == 0) {
    std::free(pv);
    return nullptr;
  }
  return std::realloc(pv, cb);
}

void WINAPI CoTaskMemFree(LPVOID pv) {
  std::free(pv);
}
