#include "signal_calls.h"

#include <dlfcn.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<long> g_sigaction_calls{0};
std::atomic<long> g_mask_calls{0};

template <class Function>
Function next_definition(const char* name) {
  void* found = dlsym(RTLD_NEXT, name);
  if (found == nullptr) std::abort();
  return reinterpret_cast<Function>(found);
}

}  // namespace

extern "C" {

int sigaction(int sig, const struct sigaction* act, struct sigaction* oldact) {
  using Function = int (*)(int, const struct sigaction*, struct sigaction*);
  static const Function real = next_definition<Function>("sigaction");
  ++g_sigaction_calls;
  return real(sig, act, oldact);
}

int pthread_sigmask(int how, const sigset_t* set, sigset_t* oldset) {
  using Function = int (*)(int, const sigset_t*, sigset_t*);
  static const Function real = next_definition<Function>("pthread_sigmask");
  ++g_mask_calls;
  return real(how, set, oldset);
}

int sigprocmask(int how, const sigset_t* set, sigset_t* oldset) {
  using Function = int (*)(int, const sigset_t*, sigset_t*);
  static const Function real = next_definition<Function>("sigprocmask");
  ++g_mask_calls;
  return real(how, set, oldset);
}

}  // extern "C"

long sigaction_calls() {
  return g_sigaction_calls.load();
}

long signal_mask_calls() {
  return g_mask_calls.load();
}
