// Signals the guard must not swallow: faults outside a guarded call and
// signals other than SIGSEGV and SIGBUS inside one. Each case ends the
// process the way it would have ended without the guard.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <string>

#include "parked_guard.h"
#include "case_name.h"
#include "platform/av_guard.h"
#include "posix_faults.h"

namespace {

void without_core_dump() {
  const struct rlimit none {};
  setrlimit(RLIMIT_CORE, &none);
}

struct DeadlyCase {
  const char* name;
  int signal;
  void (*run)();
};

volatile int g_divisor = 0;

const DeadlyCase kDeadlyCases[] = {
    // Faults on a thread outside any guard while another thread keeps the
    // guard's handler installed: the default action follows.
    {"fault_outside_guard", SIGSEGV,
     [] {
       const ParkedGuard parked;
       write_low_address(nullptr);
     }},
    {"raised_segv_outside_guard", SIGSEGV,
     [] {
       const ParkedGuard parked;
       raise(SIGSEGV);
     }},
    {"bus_error_outside_guard", SIGBUS,
     [] {
       const ParkedGuard parked;
       const PastEndOfFilePage page;
       static_cast<void>(*page.data());
     }},
    {"fault_while_suspended", SIGSEGV,
     [] {
       ov_av_guarded([] {
         const OvAvGuardSuspend suspended;
         write_low_address(nullptr);
       });
     }},
    // A real fault cannot be ignored: with SIGSEGV ignored before the guard
    // came, the kernel's default action still follows.
    {"fault_with_ignored_previous_action", SIGSEGV,
     [] {
       signal(SIGSEGV, SIG_IGN);
       ov_av_guarded([] {});
       write_low_address(nullptr);
     }},
    // Other signals inside a guarded call.
    {"raised_fpe_inside_guard", SIGFPE, [] { ov_av_guarded([] { raise(SIGFPE); }); }},
    {"raised_ill_inside_guard", SIGILL, [] { ov_av_guarded([] { raise(SIGILL); }); }},
    {"divide_by_zero_inside_guard", SIGFPE,
     [] { ov_av_guarded([] { g_divisor = 7 / g_divisor; }); }},
    {"trap_instruction_inside_guard", SIGILL, [] { ov_av_guarded([] { __builtin_trap(); }); }},
};

// Death by the signal. In a sanitizer build the sanitizer's handler is the
// previous action: it reports the signal and exits with an error instead.
struct DiedOf {
  int signal;
  bool operator()(int status) const {
    if (WIFSIGNALED(status)) return WTERMSIG(status) == signal;
#if defined(__SANITIZE_ADDRESS__)
    return WIFEXITED(status) && WEXITSTATUS(status) != 0;
#else
    return false;
#endif
  }
};

class GuardLetsThrough : public ::testing::TestWithParam<DeadlyCase> {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_P(GuardLetsThrough, SignalTakesItsDefaultAction) {
  const DeadlyCase& c = GetParam();
  EXPECT_EXIT(
      {
        without_core_dump();
        c.run();
      },
      DiedOf{c.signal}, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, GuardLetsThrough, ::testing::ValuesIn(kDeadlyCases), CaseName());

}  // namespace
