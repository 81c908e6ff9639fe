// Access-violation guard on POSIX systems: SIGSEGV and SIGBUS.
//
// The guard's handler is installed only while at least one thread of the
// process is inside ov_av_guard_run; the first guarded call installs it and
// the last one to finish puts the previous action back. While installed it
// sits in front of the previous action (in a JVM, the JVM's own handler) and
// acts only for a fault on a thread whose innermost guard is active and not
// suspended: it jumps back into that ov_av_guard_run. Every other delivery is
// handed to the previous action the way the kernel would have delivered it.
#include "platform/av_guard.h"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <mutex>

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS};
constexpr std::size_t kFaultSignalCount = sizeof(kFaultSignals) / sizeof(kFaultSignals[0]);

// One ov_av_guard_run on the current thread's stack.
struct GuardFrame {
  sigjmp_buf jump;
  GuardFrame* outer;
};

// The innermost active guard of this thread, or null when the thread is
// outside any guard or its guard is suspended. The handler reads it on
// whatever thread faulted, so it uses the initial-exec model: the default
// model for a shared library may allocate the thread's block on first use,
// which a signal handler must not do.
__attribute__((tls_model("initial-exec"))) thread_local GuardFrame* t_active = nullptr;

// The actions the guard replaced, indexed like kFaultSignals. Two slots: an
// installation fills the slot not in use and publishes it before installing
// the handler, so a handler still running from an earlier installation never
// reads a slot being written.
struct PreviousActions {
  struct sigaction action[kFaultSignalCount];
};
PreviousActions g_previous[2];
std::atomic<int> g_previous_slot{0};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

std::mutex g_install_mutex;
int g_install_count = 0;  // guarded calls in progress, process-wide

std::size_t fault_signal_index(int sig) {
  return sig == SIGSEGV ? 0 : 1;
}

void on_fault_signal(int sig, siginfo_t* info, void* ucontext);

bool is_guard_action(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == &on_fault_signal;
}

void restore_default_action(int sig) {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
}

// Delivers the signal to the action the guard replaced. Runs in the handler:
// async-signal-safe calls only.
void chain_to_previous(int sig, siginfo_t* info, void* ucontext) {
  const struct sigaction& previous =
      g_previous[g_previous_slot.load(std::memory_order_acquire)].action[fault_signal_index(sig)];
  const bool sent_by_process = info->si_code <= 0;  // kill, tgkill, raise, sigqueue

  if ((previous.sa_flags & SA_SIGINFO) == 0 &&
      (previous.sa_handler == SIG_DFL || previous.sa_handler == SIG_IGN)) {
    // A real fault cannot be ignored: the kernel forces the default action.
    if (previous.sa_handler == SIG_IGN && sent_by_process) return;
    restore_default_action(sig);
    // Returning re-executes a faulting instruction, which now takes the
    // default action at the original place; a sent signal is sent again. It
    // stays pending while the handler blocks it.
    if (sent_by_process) raise(sig);
    return;
  }

  // The mask the kernel would have set for the previous action.
  sigset_t mask = static_cast<ucontext_t*>(ucontext)->uc_sigmask;
  sigorset(&mask, &mask, &previous.sa_mask);
  if ((previous.sa_flags & SA_NODEFER) == 0) sigaddset(&mask, sig);
  pthread_sigmask(SIG_SETMASK, &mask, nullptr);
  if ((previous.sa_flags & SA_RESETHAND) != 0) restore_default_action(sig);

  if ((previous.sa_flags & SA_SIGINFO) != 0) {
    previous.sa_sigaction(sig, info, ucontext);
  } else {
    previous.sa_handler(sig);
  }
}

void on_fault_signal(int sig, siginfo_t* info, void* ucontext) {
  if (GuardFrame* frame = t_active) siglongjmp(frame->jump, 1);
  const int saved_errno = errno;
  chain_to_previous(sig, info, ucontext);
  errno = saved_errno;
}

void install_locked() {
  const int in_use = g_previous_slot.load(std::memory_order_relaxed);
  const int next = 1 - in_use;
  for (std::size_t i = 0; i < kFaultSignalCount; ++i) {
    struct sigaction current {};
    sigaction(kFaultSignals[i], nullptr, &current);
    // Still ours when a foreign handler was stacked on top of it at the last
    // uninstall: keep chaining to what we replaced originally.
    g_previous[next].action[i] = is_guard_action(current) ? g_previous[in_use].action[i] : current;
  }
  g_previous_slot.store(next, std::memory_order_release);

  struct sigaction ours {};
  ours.sa_sigaction = &on_fault_signal;
  ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
  sigemptyset(&ours.sa_mask);
  for (const int sig : kFaultSignals) sigaction(sig, &ours, nullptr);
}

void uninstall_locked() {
  const PreviousActions& previous = g_previous[g_previous_slot.load(std::memory_order_relaxed)];
  for (std::size_t i = 0; i < kFaultSignalCount; ++i) {
    struct sigaction current {};
    sigaction(kFaultSignals[i], nullptr, &current);
    // Someone installed over us meanwhile: their action stays, and ours stays
    // reachable through theirs.
    if (is_guard_action(current)) sigaction(kFaultSignals[i], &previous.action[i], nullptr);
  }
}

// Keeps the guard's handler installed for the lifetime of one guarded call.
class HandlerInstallation {
 public:
  HandlerInstallation() {
    const std::lock_guard<std::mutex> lock(g_install_mutex);
    if (g_install_count++ == 0) install_locked();
  }
  ~HandlerInstallation() {
    const std::lock_guard<std::mutex> lock(g_install_mutex);
    if (--g_install_count == 0) uninstall_locked();
  }
  HandlerInstallation(const HandlerInstallation&) = delete;
  HandlerInstallation& operator=(const HandlerInstallation&) = delete;
};

// The handler ran with the signal blocked and jumped out of it; sigsetjmp
// with savemask 0 does not restore the mask, so lift it here.
void unblock_fault_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kFaultSignals) sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

bool ov_av_guard_run(void (*call)(void* context), void* context) {
  const HandlerInstallation installation;
  GuardFrame frame;
  frame.outer = t_active;
  if (sigsetjmp(frame.jump, 0) != 0) {
    // Back from the handler: the call's frames are abandoned.
    t_active = frame.outer;
    unblock_fault_signals();
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
