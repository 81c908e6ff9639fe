// Allocation failures on demand for the native tests. The test binary
// replaces the global operator new and delete (the library, linked into it,
// resolves them to the binary's), so the library itself carries no hook: a
// test arms a failure, and the nth operator new on the test's thread from
// then on throws std::bad_alloc, once.
#pragma once

// The nth allocation (1 = the next) on this thread fails; 0 disarms.
void fail_allocation(int nth);

// Whether an armed failure has happened since the last fail_allocation.
bool allocation_failed();

// Blocks this thread allocated and has not freed (on this thread) yet.
long live_allocations();

// Arms a failure for the scope of the object and disarms at its end.
class FailingAllocation {
 public:
  explicit FailingAllocation(int nth) { fail_allocation(nth); }
  ~FailingAllocation() { fail_allocation(0); }
  FailingAllocation(const FailingAllocation&) = delete;
  FailingAllocation& operator=(const FailingAllocation&) = delete;
};
