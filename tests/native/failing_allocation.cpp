#include "tests/native/failing_allocation.h"

#include <cstdlib>
#include <new>

namespace {

thread_local int t_countdown = 0;
thread_local bool t_failed = false;
thread_local long t_live = 0;

void* allocate(std::size_t size) {
  if (t_countdown > 0 && --t_countdown == 0) {
    t_failed = true;
    throw std::bad_alloc();
  }
  // malloc(0) may return null; operator new must not.
  if (void* p = std::malloc(size != 0 ? size : 1)) {
    ++t_live;
    return p;
  }
  throw std::bad_alloc();
}

void release(void* p) {
  if (p == nullptr) return;
  --t_live;
  std::free(p);
}

}  // namespace

void fail_allocation(int nth) {
  t_countdown = nth;
  t_failed = false;
}

bool allocation_failed() {
  return t_failed;
}

long live_allocations() {
  return t_live;
}

// Every form that allocates or frees with malloc's heap, so that no pair mixes
// this heap with another allocator's (the sanitizer runtime brings its own).
void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept {
  release(p);
}
void operator delete[](void* p) noexcept {
  release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  release(p);
}
