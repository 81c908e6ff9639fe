// The guard's handler in front of the process's previous action: installed
// by the first guarded call and kept, faults the guard does not own reach
// that action as the kernel would have delivered them, and no guarded call
// touches the installed actions again.
//
// Which action the guard chains to is fixed by the first guarded call of the
// process, so every case that chooses the previous action runs in a child
// process of its own (a death test that is expected to exit with 0).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "case_name.h"
#include "parked_guard.h"
#include "platform/av_guard.h"
#include "posix_faults.h"
#include "signal_calls.h"

namespace {

// What the previous action saw of one fault.
struct Observation {
  int calls = 0;
  void* address = nullptr;  // si_addr, for SA_SIGINFO actions
  bool had_context = false;
  bool segv_blocked = false;
  bool usr1_blocked = false;

  bool operator==(const Observation& o) const {
    return calls == o.calls && address == o.address && had_context == o.had_context &&
           segv_blocked == o.segv_blocked && usr1_blocked == o.usr1_blocked;
  }
};

std::string describe(const Observation& o) {
  std::ostringstream out;
  out << "{calls " << o.calls << ", address " << o.address << ", context " << o.had_context
      << ", segv blocked " << o.segv_blocked << ", usr1 blocked " << o.usr1_blocked << "}";
  return out.str();
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

// Compared signal by signal: a queried mask is only defined for the signals
// the kernel has.
bool same_mask(const sigset_t& a, const sigset_t& b) {
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sigismember(&a, sig) != sigismember(&b, sig)) return false;
  }
  return true;
}

bool same_action(const struct sigaction& a, const struct sigaction& b) {
  return a.sa_flags == b.sa_flags && a.sa_handler == b.sa_handler &&
         same_mask(a.sa_mask, b.sa_mask);
}

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

struct sigaction previous_action(const PreviousKind& kind) {
  struct sigaction action {};
  if ((kind.flags & SA_SIGINFO) != 0) {
    action.sa_sigaction = &previous_siginfo_action;
  } else {
    action.sa_handler = &previous_plain_action;
  }
  action.sa_flags = kind.flags;
  sigemptyset(&action.sa_mask);
  if (kind.block_usr1) sigaddset(&action.sa_mask, SIGUSR1);
  return action;
}

void write_fault_page() {
  *g_fault_page->data() = 1;
}

// Runs one fault on a fresh inaccessible page and returns what the previous
// action saw of it.
template <class Fault>
Observation observe_fault(Fault&& fault) {
  const TestPage page(PROT_NONE);
  g_fault_page = &page;
  g_seen = Observation{};
  fault();
  g_fault_page = nullptr;
  return g_seen;
}

// The kernel's own delivery: the previous action installed as the current
// one for one fault.
Observation kernel_delivery(const PreviousKind& kind) {
  const struct sigaction saved = current_action(SIGSEGV);
  const struct sigaction action = previous_action(kind);
  sigaction(SIGSEGV, &action, nullptr);
  const Observation seen = observe_fault(&write_fault_page);
  sigaction(SIGSEGV, &saved, nullptr);
  return seen;
}

// A handler someone installs over the guard's later, forwarding what it does
// not handle to the action it replaced, with the mask that action asked for.
struct sigaction g_replaced_by_front;
int g_front_calls = 0;

void front_handler(int sig, siginfo_t* info, void* context) {
  ++g_front_calls;
  g_replaced_by_front.sa_sigaction(sig, info, context);
}

class FrontHandler {
 public:
  FrontHandler() {
    g_replaced_by_front = current_action(SIGSEGV);
    struct sigaction front = g_replaced_by_front;
    front.sa_sigaction = &front_handler;
    front.sa_flags |= SA_SIGINFO;
    sigaction(SIGSEGV, &front, nullptr);
  }
  ~FrontHandler() { sigaction(SIGSEGV, &g_replaced_by_front, nullptr); }
  FrontHandler(const FrontHandler&) = delete;
  FrontHandler& operator=(const FrontHandler&) = delete;
};

// How a fault the guard does not own reaches the previous action once the
// guard is installed.
struct Route {
  const char* name;
  void (*fault)();
};

const Route kRoutes[] = {
    {"outside_any_guard", [] { write_fault_page(); }},
    {"inside_suspended_guard",
     [] {
       EXPECT_TRUE(ov_av_guarded([] {
         const OvAvGuardSuspend suspended;
         write_fault_page();
       }));
     }},
    {"while_another_thread_is_guarded",
     [] {
       const ParkedGuard parked;
       write_fault_page();
     }},
    {"after_a_caught_fault",
     [] {
       // The thread's own guard is gone after a caught fault.
       EXPECT_FALSE(ov_av_guard_run(&write_low_address, nullptr));
       write_fault_page();
     }},
    {"through_a_handler_installed_later",
     [] {
       const FrontHandler front;
       write_fault_page();
     }},
};

// In a child process: installs the previous action, then the guard in front
// of it, faults along the route and exits with 0 when the previous action
// saw what the kernel showed it.
[[noreturn]] void check_route(const PreviousKind& kind, const Route& route,
                              const Observation& expected) {
  const struct sigaction action = previous_action(kind);
  sigaction(SIGSEGV, &action, nullptr);
  ov_av_guarded([] {});
  const Observation seen = observe_fault(route.fault);
  if (seen == expected) std::_Exit(0);
  std::fprintf(stderr, "previous action saw %s, expected %s\n", describe(seen).c_str(),
               describe(expected).c_str());
  std::_Exit(1);
}

class PreviousAction : public ::testing::TestWithParam<PreviousKind> {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_P(PreviousAction, SeesFaultsTheGuardDoesNotOwnAsTheKernelDeliversThem) {
  const Observation direct = kernel_delivery(GetParam());
  ASSERT_EQ(direct.calls, 1);
  for (const Route& route : kRoutes) {
    EXPECT_EXIT(check_route(GetParam(), route, direct), ::testing::ExitedWithCode(0), "")
        << route.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PreviousAction, ::testing::ValuesIn(kPreviousKinds), CaseName());

TEST(PreviousAction, ExceptionFromAGuardedCallLeavesNoGuardBehind) {
  // The previous action here is the default one, or the sanitizer's: a fault
  // that the guard wrongly took for its own would return instead.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        EXPECT_THROW(ov_av_guarded([] { throw std::runtime_error("from the call"); }),
                     std::runtime_error);
        write_low_address(nullptr);
      },
      "");
}

// The kernel resets a one-shot action after its first delivery; behind the
// guard, the next fault the guard does not own takes the default action while
// the guard keeps catching its own.
TEST(PreviousAction, OneShotActionRunsOnceAndTheGuardStays) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const struct sigaction action = previous_action(kPreviousKinds[4]);
        sigaction(SIGSEGV, &action, nullptr);
        ov_av_guarded([] {});
        if (observe_fault(&write_fault_page).calls != 1) std::_Exit(1);
        if (ov_av_guard_run(&write_low_address, nullptr)) std::_Exit(2);
        std::fputs("guarded fault caught\n", stderr);
        const TestPage page(PROT_NONE);
        *page.data() = 1;
        std::_Exit(3);
      },
      ::testing::KilledBySignal(SIGSEGV), "guarded fault caught");
}

// Ways to use the guard once it is installed.
struct Usage {
  const char* name;
  bool faults;
  void (*run)();
};

const Usage kUsages[] = {
    {"returning_call", false, [] { EXPECT_TRUE(ov_av_guarded([] {})); }},
    {"nested_returning_calls", false,
     [] { EXPECT_TRUE(ov_av_guarded([] { EXPECT_TRUE(ov_av_guarded([] {})); })); }},
    {"suspended_inside_a_call", false,
     [] { EXPECT_TRUE(ov_av_guarded([] { const OvAvGuardSuspend suspended; })); }},
    {"throwing_call", false,
     [] { EXPECT_THROW(ov_av_guarded([] { throw std::logic_error("x"); }), std::logic_error); }},
    {"faulting_call", true, [] { EXPECT_FALSE(ov_av_guard_run(&write_low_address, nullptr)); }},
    {"fault_in_nested_call", true,
     [] { EXPECT_TRUE(ov_av_guarded([] { ov_av_guard_run(&write_low_address, nullptr); })); }},
    {"overlapping_threads", true,
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

class InstalledHandler : public ::testing::TestWithParam<Usage> {};

TEST_P(InstalledHandler, StaysAsItIsWithoutASigactionCall) {
  ov_av_guarded([] {});  // installed by now
  const struct sigaction segv_before = current_action(SIGSEGV);
  const struct sigaction bus_before = current_action(SIGBUS);
  const long sigactions = sigaction_calls();
  const long masks = signal_mask_calls();

  for (int i = 0; i < 100; ++i) GetParam().run();

  EXPECT_EQ(sigaction_calls(), sigactions);
  // A returning call changes no mask either; a caught fault puts back the
  // mask the callee had.
  if (!GetParam().faults) {
    EXPECT_EQ(signal_mask_calls(), masks);
  }
  EXPECT_TRUE(same_action(current_action(SIGSEGV), segv_before));
  EXPECT_TRUE(same_action(current_action(SIGBUS), bus_before));
}

INSTANTIATE_TEST_SUITE_P(Usages, InstalledHandler, ::testing::ValuesIn(kUsages), CaseName());

TEST(InstalledHandler, HandlerInstalledLaterStillHandsGuardedFaultsToTheGuard) {
  ov_av_guarded([] {});
  const FrontHandler front;
  g_front_calls = 0;
  for (int round = 0; round < 3; ++round) {
    EXPECT_FALSE(ov_av_guard_run(&write_low_address, nullptr)) << "round " << round;
    EXPECT_FALSE(signal_blocked(SIGSEGV));
  }
  EXPECT_EQ(g_front_calls, 3);
}

// A previous action that ignores SIGSEGV: a sent SIGSEGV stays ignored with
// the guard in front (a real fault cannot be ignored: see the death tests).
TEST(InstalledHandler, SentSignalsStayIgnoredWhenThePreviousActionIgnoresThem) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        signal(SIGSEGV, SIG_IGN);
        ov_av_guarded([] {});
        raise(SIGSEGV);
        const bool caught = !ov_av_guard_run(&write_low_address, nullptr);
        std::_Exit(caught ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
