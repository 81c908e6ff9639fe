// Access-violation guard: runs exactly one foreign call and turns an access
// violation inside it into a result instead of a crash.
//
// On Windows this catches exactly EXCEPTION_ACCESS_VIOLATION (0xC0000005) and
// lets every other exception code pass. Elsewhere the same contract holds for
// SIGSEGV and SIGBUS: the guard's handler is chained in front of whatever
// handler the process had (the JVM's, which relies on these signals for
// implicit null checks and safepoints) and only acts for a fault raised on a
// thread that is inside a guarded call. Code that calls back into Java from
// inside a guarded call suspends the guard with OvAvGuardSuspend.
#pragma once

#include <memory>
#include <type_traits>

// Runs call(context). Returns true when the call returned and false when it
// raised an access violation; the call's frames are then abandoned.
bool ov_av_guard_run(void (*call)(void* context), void* context);

template <class F>
bool ov_av_guarded(F&& f) {
  using Fn = std::remove_reference_t<F>;
  return ov_av_guard_run([](void* c) { (*static_cast<Fn*>(c))(); },
                         const_cast<void*>(static_cast<const void*>(std::addressof(f))));
}

// Lifts the current thread's guard for the lifetime of the object, so that a
// fault in code the guard does not own (the JVM's) reaches its own handler.
class OvAvGuardSuspend {
 public:
  OvAvGuardSuspend();
  ~OvAvGuardSuspend();
  OvAvGuardSuspend(const OvAvGuardSuspend&) = delete;
  OvAvGuardSuspend& operator=(const OvAvGuardSuspend&) = delete;

 private:
  void* saved_;
};
