// Access-violation guard on Windows, for compilers without __try/__except.
//
// A vectored exception handler, added once for the process as the first in
// the list, looks at every exception raised on any thread. For
// EXCEPTION_ACCESS_VIOLATION on a thread whose innermost guard is active and
// not suspended it rewrites the faulting context so that execution continues
// in land_after_fault, which jumps back into ov_av_guard_run with
// __builtin_longjmp. Every other exception, and every access violation outside
// an active guard, continues the search untouched.
//
// Vectored handlers run before any frame-based handler, so the guard sees an
// access violation before the callee's own __try/__except (or a C++ catch
// built on SEH) could handle it: a callee that deliberately probes memory and
// handles its own faults loses that fault to the guard. A vectored handler
// added later with First=1 runs before ours.
#include "platform/av_guard.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

// One ov_av_guard_run on the current thread's stack.
struct GuardFrame {
  void* jump[5];  // __builtin_setjmp buffer
  GuardFrame* outer;
  // Frame address of run_call: everything below it belongs to the call and
  // is abandoned on a fault, so the landing function runs there, and a callee
  // that faulted with a wild stack pointer is recovered as well.
  std::uintptr_t landing_stack;
#if defined(__i386__)
  // Head of the thread's SEH chain when the guard started; frames the callee
  // registered are abandoned with its stack.
  void* seh_head;
#endif
};

std::atomic<DWORD> g_tls_index{TLS_OUT_OF_INDEXES};
INIT_ONCE g_install_once = INIT_ONCE_STATIC_INIT;

// TlsGetValue clears the thread's last error; the foreign call's caller and
// the faulting thread must see theirs unchanged.
GuardFrame* active_frame() {
  const DWORD last_error = GetLastError();
  auto* frame = static_cast<GuardFrame*>(TlsGetValue(g_tls_index.load(std::memory_order_relaxed)));
  SetLastError(last_error);
  return frame;
}

void set_active_frame(GuardFrame* frame) {
  const DWORD last_error = GetLastError();
  TlsSetValue(g_tls_index.load(std::memory_order_relaxed), frame);
  SetLastError(last_error);
}

#if defined(__i386__)
// fs:[0], the first field of the thread's NT_TIB. Read directly: the
// header's __readfsdword trips the compiler's bounds analysis.
void* seh_chain_head() {
  void* head;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void set_seh_chain_head(void* head) {
  __asm__ volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif

// Entered in place of the faulting instruction, on the faulting thread.
[[noreturn]] __attribute__((noinline)) void land_after_fault() {
  __builtin_longjmp(active_frame()->jump, 1);
}

LONG CALLBACK on_exception(EXCEPTION_POINTERS* pointers) {
  if (pointers->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const GuardFrame* frame = active_frame();
  if (frame == nullptr) return EXCEPTION_CONTINUE_SEARCH;

  // Continue as if land_after_fault had just been called: the stack pointer
  // sits one return address below a 16-byte boundary.
  CONTEXT* context = pointers->ContextRecord;
  const std::uintptr_t stack = (frame->landing_stack & ~std::uintptr_t{15}) - 64;
#if defined(__x86_64__)
  context->Rsp = stack - sizeof(void*);
  context->Rip = reinterpret_cast<DWORD64>(&land_after_fault);
#elif defined(__i386__)
  context->Esp = static_cast<DWORD>(stack - sizeof(void*));
  context->Eip = reinterpret_cast<DWORD>(&land_after_fault);
#else
#error "access-violation guard: unsupported architecture"
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

BOOL CALLBACK install(INIT_ONCE*, void*, void**) {
  const DWORD index = TlsAlloc();
  if (index == TLS_OUT_OF_INDEXES) return FALSE;
  g_tls_index.store(index, std::memory_order_release);
  // Stays for the life of the process: the library is not unloaded while
  // the VM runs.
  return AddVectoredExceptionHandler(1, &on_exception) != nullptr;
}

// Runs the call in its own frame, below everything ov_av_guard_run still
// needs after the jump back.
__attribute__((noinline)) void run_call(GuardFrame& frame, void (*call)(void*), void* context) {
  frame.landing_stack = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  call(context);
}

}  // namespace

bool ov_av_guard_run(void (*call)(void* context), void* context) {
  // Without the handler the guard cannot act; the call still runs unguarded.
  if (!InitOnceExecuteOnce(&g_install_once, &install, nullptr, nullptr)) {
    call(context);
    return true;
  }
  GuardFrame frame;
  frame.outer = active_frame();
  frame.landing_stack = 0;
#if defined(__i386__)
  frame.seh_head = seh_chain_head();
#endif
  if (__builtin_setjmp(frame.jump) != 0) {
    // Back from land_after_fault: the call's frames are abandoned.
#if defined(__i386__)
    set_seh_chain_head(frame.seh_head);
#endif
    set_active_frame(frame.outer);
    return false;
  }
  set_active_frame(&frame);
  try {
    run_call(frame, call, context);
  } catch (...) {
    set_active_frame(frame.outer);
    throw;
  }
  set_active_frame(frame.outer);
  return true;
}

OvAvGuardSuspend::OvAvGuardSuspend() : saved_(nullptr) {
  // No guard has run yet on any thread.
  if (g_tls_index.load(std::memory_order_acquire) == TLS_OUT_OF_INDEXES) return;
  saved_ = active_frame();
  set_active_frame(nullptr);
}

OvAvGuardSuspend::~OvAvGuardSuspend() {
  if (g_tls_index.load(std::memory_order_acquire) == TLS_OUT_OF_INDEXES) return;
  set_active_frame(static_cast<GuardFrame*>(saved_));
}
