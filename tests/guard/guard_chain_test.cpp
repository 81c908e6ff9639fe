// The guard's handler in front of the process's previous action: faults the
// guard does not own reach that action as the kernel would have delivered
// them, and the previous action is back once the last guarded call ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "parked_guard.h"
#include "case_name.h"
#include "platform/av_guard.h"
#include "posix_faults.h"

namespace {

// What the previous action saw of one fault.
struct Observation {
  int calls = 0;
  void* address = nullptr;  // si_addr, for SA_SIGINFO actions
  bool had_context = false;
  bool segv_blocked = false;
  bool usr1_blocked = false;
  bool default_after = false;  // SIGSEGV's action is SIG_DFL afterwards

  bool operator==(const Observation& o) const {
    return calls == o.calls && address == o.address && had_context == o.had_context &&
           segv_blocked == o.segv_blocked && usr1_blocked == o.usr1_blocked &&
           default_after == o.default_after;
  }
};

void PrintTo(const Observation& o, std::ostream* out) {
  *out << "{calls " << o.calls << ", address " << o.address << ", context " << o.had_context
       << ", segv blocked " << o.segv_blocked << ", usr1 blocked " << o.usr1_blocked
       << ", default after " << o.default_after << "}";
}

// The fault target: made accessible by the previous action, so the faulting
// write succeeds when it is executed again.
const TestPage* g_fault_page = nullptr;
Observation g_seen;

void observe() {
  ++g_seen.calls;
  g_seen.segv_blocked = signal_blocked(SIGSEGV);
  g_seen.usr1_blocked = signal_blocked(SIGUSR1);
  g_fault_page->protect(PROT_READ | PROT_WRITE);
}

void previous_siginfo_action(int, siginfo_t* info, void* context) {
  g_seen.address = info->si_addr;
  g_seen.had_context = context != nullptr;
  observe();
}

void previous_plain_action(int) {
  observe();
}

struct sigaction current_action(int sig) {
  struct sigaction action {};
  sigaction(sig, nullptr, &action);
  return action;
}

// The C library adds the kernel's SA_RESTORER flag to every action it
// installs; an action never installed (the initial default) lacks it.
constexpr int kLibraryRestorerFlag = 0x04000000;

// Compared signal by signal: a queried mask is only defined for the signals
// the kernel has.
bool same_mask(const sigset_t& a, const sigset_t& b) {
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sigismember(&a, sig) != sigismember(&b, sig)) return false;
  }
  return true;
}

bool same_action(const struct sigaction& a, const struct sigaction& b) {
  return (a.sa_flags | kLibraryRestorerFlag) == (b.sa_flags | kLibraryRestorerFlag) &&
         ((a.sa_flags & SA_SIGINFO) != 0 ? a.sa_sigaction == b.sa_sigaction
                                         : a.sa_handler == b.sa_handler) &&
         same_mask(a.sa_mask, b.sa_mask);
}

// Installs an action for SIGSEGV for its lifetime.
class ScopedAction {
 public:
  ScopedAction(int flags, bool block_usr1) : saved_(current_action(SIGSEGV)) {
    struct sigaction action {};
    if ((flags & SA_SIGINFO) != 0) {
      action.sa_sigaction = &previous_siginfo_action;
    } else {
      action.sa_handler = &previous_plain_action;
    }
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    if (block_usr1) sigaddset(&action.sa_mask, SIGUSR1);
    sigaction(SIGSEGV, &action, nullptr);
  }
  explicit ScopedAction(void (*disposition)(int)) : saved_(current_action(SIGSEGV)) {
    struct sigaction action {};
    action.sa_handler = disposition;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, nullptr);
  }
  ~ScopedAction() { sigaction(SIGSEGV, &saved_, nullptr); }
  ScopedAction(const ScopedAction&) = delete;
  ScopedAction& operator=(const ScopedAction&) = delete;

 private:
  struct sigaction saved_;
};

struct PreviousKind {
  const char* name;
  int flags;
  bool block_usr1;
};

const PreviousKind kPreviousKinds[] = {
    {"siginfo", SA_SIGINFO, false},
    {"plain", 0, false},
    {"siginfo_nodefer", SA_SIGINFO | SA_NODEFER, false},
    {"plain_with_mask", 0, true},
    {"siginfo_resethand", static_cast<int>(SA_SIGINFO | SA_RESETHAND), false},
};

// How the fault reaches the previous action.
enum class Route { kKernel, kSuspendedGuard, kOutsideGuardWhileInstalled, kAfterFaultedGuard };

void write_fault_page() {
  *g_fault_page->data() = 1;
}

Observation fault_through(const PreviousKind& kind, Route route) {
  const TestPage page(PROT_NONE);
  g_fault_page = &page;
  g_seen = Observation{};
  {
    const ScopedAction previous(kind.flags, kind.block_usr1);
    switch (route) {
      case Route::kKernel:
        write_fault_page();
        break;
      case Route::kSuspendedGuard:
        EXPECT_TRUE(ov_av_guarded([] {
          const OvAvGuardSuspend suspended;
          write_fault_page();
        }));
        break;
      case Route::kOutsideGuardWhileInstalled: {
        const ParkedGuard parked;
        write_fault_page();
        break;
      }
      case Route::kAfterFaultedGuard: {
        // The thread's own guard is gone after a caught fault.
        const ParkedGuard parked;
        EXPECT_FALSE(ov_av_guard_run(&write_low_address, nullptr));
        write_fault_page();
        break;
      }
    }
    const struct sigaction after = current_action(SIGSEGV);
    // A reset by SA_RESETHAND keeps the flags; only the handler goes.
    g_seen.default_after = after.sa_handler == SIG_DFL;
  }
  g_fault_page = nullptr;
  return g_seen;
}

class PreviousAction : public ::testing::TestWithParam<PreviousKind> {};

TEST_P(PreviousAction, SeesFaultsOutsideTheGuardAsTheKernelDeliversThem) {
  const Observation direct = fault_through(GetParam(), Route::kKernel);
  ASSERT_EQ(direct.calls, 1);
  EXPECT_EQ(fault_through(GetParam(), Route::kSuspendedGuard), direct);
  EXPECT_EQ(fault_through(GetParam(), Route::kOutsideGuardWhileInstalled), direct);
  EXPECT_EQ(fault_through(GetParam(), Route::kAfterFaultedGuard), direct);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PreviousAction, ::testing::ValuesIn(kPreviousKinds), CaseName());

TEST(PreviousAction, ExceptionFromAGuardedCallLeavesNoGuardBehind) {
  const TestPage page(PROT_NONE);
  g_fault_page = &page;
  g_seen = Observation{};
  {
    const ScopedAction previous(SA_SIGINFO, false);
    const ParkedGuard parked;
    EXPECT_THROW(ov_av_guarded([] { throw std::runtime_error("from the call"); }),
                 std::runtime_error);
    write_fault_page();
  }
  g_fault_page = nullptr;
  EXPECT_EQ(g_seen.calls, 1);
}

// Ways the guard's handler gets installed and removed again.
struct Usage {
  const char* name;
  void (*run)();
};

const Usage kUsages[] = {
    {"returning_call", [] { EXPECT_TRUE(ov_av_guarded([] {})); }},
    {"faulting_call", [] { EXPECT_FALSE(ov_av_guard_run(&write_low_address, nullptr)); }},
    {"nested_calls",
     [] { EXPECT_TRUE(ov_av_guarded([] { ov_av_guard_run(&write_low_address, nullptr); })); }},
    {"throwing_call",
     [] { EXPECT_THROW(ov_av_guarded([] { throw std::logic_error("x"); }), std::logic_error); }},
    {"overlapping_threads",
     [] {
       std::vector<std::thread> threads;
       for (int t = 0; t < 6; ++t) {
         threads.emplace_back([] {
           for (int i = 0; i < 200; ++i) ov_av_guard_run(&write_low_address, nullptr);
         });
       }
       for (std::thread& thread : threads) thread.join();
     }},
};

class HandlerLifetime : public ::testing::TestWithParam<Usage> {};

TEST_P(HandlerLifetime, PreviousActionsAreBackAfterTheLastGuardedCall) {
  // Flags and a mask that must come back unchanged.
  const ScopedAction previous(SA_SIGINFO | SA_NODEFER, true);
  const struct sigaction segv_before = current_action(SIGSEGV);
  const struct sigaction bus_before = current_action(SIGBUS);

  GetParam().run();

  EXPECT_TRUE(same_action(current_action(SIGSEGV), segv_before));
  EXPECT_TRUE(same_action(current_action(SIGBUS), bus_before));
}

INSTANTIATE_TEST_SUITE_P(Usages, HandlerLifetime, ::testing::ValuesIn(kUsages), CaseName());

TEST(HandlerLifetime, InstalledOnlyWhileAGuardedCallRuns) {
  const struct sigaction before = current_action(SIGSEGV);
  struct sigaction during {};
  ov_av_guarded([&] { during = current_action(SIGSEGV); });
  EXPECT_FALSE(same_action(during, before));
  EXPECT_EQ(during.sa_flags & (SA_SIGINFO | SA_ONSTACK | SA_RESTART),
            SA_SIGINFO | SA_ONSTACK | SA_RESTART);

  {
    const ParkedGuard parked;
    EXPECT_TRUE(same_action(current_action(SIGSEGV), during));
    // A call ending on this thread does not remove what the parked one needs.
    ov_av_guard_run(&write_low_address, nullptr);
    EXPECT_TRUE(same_action(current_action(SIGSEGV), during));
  }
  EXPECT_TRUE(same_action(current_action(SIGSEGV), before));
}

TEST(HandlerLifetime, IgnoredDispositionIsRestoredAndSentSignalsStayIgnored) {
  const ScopedAction ignored(SIG_IGN);
  {
    const ParkedGuard parked;
    raise(SIGSEGV);  // ignored through the chain as without the guard
  }
  const struct sigaction after = current_action(SIGSEGV);
  EXPECT_EQ(after.sa_handler, SIG_IGN);
}

}  // namespace
