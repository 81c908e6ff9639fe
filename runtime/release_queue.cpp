#include "runtime/release_queue.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/av_guard.h"

namespace {

struct ReleaseQueue {
  ReleaseQueue() { InitializeCriticalSection(&lock); }
  CRITICAL_SECTION lock;
  std::atomic<int> count{0};  // read without the lock by the emptiness test
  int capacity = 0;
  IUnknown** items = nullptr;
};

// Created on first use and never destroyed: threads may still add while the
// process exits.
ReleaseQueue& queue() {
  static ReleaseQueue* q = new ReleaseQueue();
  return *q;
}

class Locked {
 public:
  explicit Locked(ReleaseQueue& q) : q_(q) { EnterCriticalSection(&q_.lock); }
  ~Locked() { LeaveCriticalSection(&q_.lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  ReleaseQueue& q_;
};

constexpr int kInitialCapacity = 4;

}  // namespace

int ov_release_queue_init() {
  ReleaseQueue& q = queue();
  Locked lock(q);
  if (q.items != nullptr) return 1;
  auto* items = static_cast<IUnknown**>(std::malloc(kInitialCapacity * sizeof(IUnknown*)));
  if (items == nullptr) return 0;
  q.items = items;
  q.capacity = kInitialCapacity;
  return 1;
}

int ov_release_queue_grow() {
  ReleaseQueue& q = queue();
  if (q.capacity > INT32_MAX / 2) return 0;
  const int capacity = q.capacity == 0 ? kInitialCapacity : q.capacity * 2;
  void* grown = std::realloc(q.items, static_cast<size_t>(capacity) * sizeof(IUnknown*));
  if (grown == nullptr) return 0;  // the old array stays valid and untouched
  q.items = static_cast<IUnknown**>(grown);
  q.capacity = capacity;
  return 1;
}

int ov_release_queue_add(IUnknown* p) {
  ReleaseQueue& q = queue();
  Locked lock(q);
  const int count = q.count.load(std::memory_order_relaxed);
  if (count == q.capacity && !ov_release_queue_grow()) return 0;
  q.items[count] = p;
  q.count.store(count + 1, std::memory_order_release);
  return 1;
}

int ov_release_queue_drain() {
  ReleaseQueue& q = queue();
  if (q.count.load(std::memory_order_acquire) <= 0) return 1;
  Locked lock(q);
  // Removes the entries released so far, also when a Release unwinds with
  // something other than an access violation, so none is released twice.
  struct Done {
    ReleaseQueue& q;
    int released = 0;
    ~Done() {
      const int rest = q.count.load(std::memory_order_relaxed) - released;
      if (rest > 0) std::memmove(q.items, q.items + released, rest * sizeof(IUnknown*));
      q.count.store(rest, std::memory_order_release);
    }
  } done{q};
  // The bound and the array are read again at each step: a Release may add
  // (the lock is re-entrant) and the array may grow meanwhile.
  while (done.released < q.count.load(std::memory_order_relaxed)) {
    IUnknown* entry = q.items[done.released++];
    ov_av_guarded([entry] { entry->Release(); });
  }
  return 1;
}

int ov_release_queue_count() {
  return queue().count.load(std::memory_order_acquire);
}

int ov_release_queue_capacity() {
  ReleaseQueue& q = queue();
  Locked lock(q);
  return q.capacity;
}
