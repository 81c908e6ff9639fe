// Access-violation guard on POSIX systems: SIGSEGV and SIGBUS.
//
// The first guarded call of the process installs the guard's handler for
// both signals, and it stays installed: a guarded call itself makes no
// system call unless its callee faults. The handler decides per thread: a
// fault on a thread whose innermost guard is active and not suspended jumps
// back into that ov_av_guard_run; every other delivery is handed to the
// action the guard replaced (in a JVM, the JVM's own handler), the way the
// kernel would have delivered it there.
//
// The guard's action copies the replaced action's signal mask and its
// SA_NODEFER and SA_RESTART flags, so the kernel already sets the mask that
// action expects and chaining needs no system call: the JVM's implicit null
// checks and safepoint polls pass through at the cost of a function call.
//
// A handler installed over the guard's later (the JVM's when the JVM starts
// after the first guarded call, or with the JDK's signal-chaining library
// preloaded) runs first; the guard still works as long as that handler
// passes the faults it does not own on to the guard's handler, as chaining
// handlers do. Faults the guard does not own then go on to the action the
// guard replaced, never back to the handler in front.
#include "platform/av_guard.h"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS};
constexpr std::size_t kFaultSignalCount = sizeof(kFaultSignals) / sizeof(kFaultSignals[0]);

// One ov_av_guard_run on the current thread's stack.
struct GuardFrame {
  sigjmp_buf jump;
  GuardFrame* outer;
  // The thread's signal mask when the callee faulted, put back after the
  // jump: the handler ran with more signals blocked, and a handler in front
  // of ours may have set a mask of its own before chaining to us.
  sigset_t fault_mask;
  bool have_fault_mask;
};

// The innermost active guard of this thread, or null when the thread is
// outside any guard or its guard is suspended. The handler reads it on
// whatever thread faulted, so it uses the initial-exec model: the default
// model for a shared library may allocate the thread's block on first use,
// which a signal handler must not do.
__attribute__((tls_model("initial-exec"))) thread_local GuardFrame* t_active = nullptr;

// The actions the guard replaced, indexed like kFaultSignals. Written once,
// before the guard's handler is installed; read only by the handler.
struct sigaction g_previous[kFaultSignalCount];
// Set when a replaced action with SA_RESETHAND has run once: the kernel would
// have reset it to the default action, so the guard delivers the default from
// then on (and stays installed for the faults it owns).
std::atomic<bool> g_previous_reset[kFaultSignalCount];
static_assert(std::atomic<bool>::is_always_lock_free, "written from a signal handler");

std::size_t fault_signal_index(int sig) {
  return sig == SIGSEGV ? 0 : 1;
}

// The kernel reads the handler field alone for SIG_DFL and SIG_IGN, whatever
// the flags say.
bool is_disposition(const struct sigaction& action, void (*disposition)(int)) {
  return action.sa_handler == disposition;
}

void take_default_action(int sig, const siginfo_t* info) {
  const bool sent_by_process = info != nullptr && info->si_code <= 0;  // kill, raise, sigqueue
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  // Returning re-executes a faulting instruction, which now takes the
  // default action at the original place; a sent signal is sent again. It
  // stays pending while the handler blocks it.
  if (sent_by_process) raise(sig);
}

// Delivers the signal to the action the guard replaced. Runs in the handler:
// async-signal-safe calls only. The mask is already the one the kernel would
// have set for that action (see the guard's action in install).
void chain_to_previous(int sig, siginfo_t* info, void* ucontext) {
  const std::size_t index = fault_signal_index(sig);
  const struct sigaction& previous = g_previous[index];
  const bool sent_by_process = info != nullptr && info->si_code <= 0;

  if (is_disposition(previous, SIG_IGN)) {
    // A real fault cannot be ignored: the kernel forces the default action.
    if (!sent_by_process) take_default_action(sig, info);
    return;
  }
  if (is_disposition(previous, SIG_DFL) || g_previous_reset[index].load()) {
    take_default_action(sig, info);
    return;
  }
  if ((previous.sa_flags & SA_RESETHAND) != 0) g_previous_reset[index].store(true);
  if ((previous.sa_flags & SA_SIGINFO) != 0) {
    previous.sa_sigaction(sig, info, ucontext);
  } else {
    previous.sa_handler(sig);
  }
}

void on_fault_signal(int sig, siginfo_t* info, void* ucontext) {
  if (GuardFrame* frame = t_active) {
    frame->have_fault_mask = ucontext != nullptr;
    if (frame->have_fault_mask) frame->fault_mask = static_cast<ucontext_t*>(ucontext)->uc_sigmask;
    siglongjmp(frame->jump, 1);
  }
  const int saved_errno = errno;
  chain_to_previous(sig, info, ucontext);
  errno = saved_errno;
}

// Installs the guard's handler in front of the current actions, for the life
// of the process.
bool install() {
  for (std::size_t i = 0; i < kFaultSignalCount; ++i) {
    struct sigaction& previous = g_previous[i];
    sigaction(kFaultSignals[i], nullptr, &previous);

    struct sigaction ours {};
    ours.sa_sigaction = &on_fault_signal;
    ours.sa_flags = SA_SIGINFO | SA_ONSTACK;
    if (is_disposition(previous, SIG_DFL) || is_disposition(previous, SIG_IGN)) {
      // Nothing to run but the default: keep the caller's system calls going
      // when a sent signal is ignored.
      ours.sa_flags |= SA_RESTART;
      sigemptyset(&ours.sa_mask);
    } else {
      ours.sa_flags |= previous.sa_flags & (SA_NODEFER | SA_RESTART);
      ours.sa_mask = previous.sa_mask;
    }
    sigaction(kFaultSignals[i], &ours, nullptr);
  }
  return true;
}

// Lifts every fault signal, for a fault whose mask the handler did not get.
void unblock_fault_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kFaultSignals) sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

bool ov_av_guard_run(void (*call)(void* context), void* context) {
  static const bool installed = install();
  static_cast<void>(installed);
  GuardFrame frame;
  frame.outer = t_active;
  // savemask 0: saving the mask would be a system call on every guarded call.
  if (sigsetjmp(frame.jump, 0) != 0) {
    // Back from the handler: the call's frames are abandoned.
    t_active = frame.outer;
    if (frame.have_fault_mask) {
      pthread_sigmask(SIG_SETMASK, &frame.fault_mask, nullptr);
    } else {
      unblock_fault_signals();
    }
    return false;
  }
  t_active = &frame;
  try {
    call(context);
  } catch (...) {
    t_active = frame.outer;
    throw;
  }
  t_active = frame.outer;
  return true;
}

OvAvGuardSuspend::OvAvGuardSuspend() : saved_(t_active) {
  t_active = nullptr;
}

OvAvGuardSuspend::~OvAvGuardSuspend() {
  t_active = static_cast<GuardFrame*>(saved_);
}
